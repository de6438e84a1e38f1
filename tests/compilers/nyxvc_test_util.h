// Helpers of the nyxvc tests: compile a text in memory and decode what it emits.
#pragma once

#include <string>
#include <string_view>

#include "compile.h"
#include "decode.h"

namespace nyxvctest {

struct Result {
    bool ok = false;
    std::string messages;  // one per line
    std::string records;   // decoded, when ok
};

inline Result compileText(std::string_view text, std::string_view top, const nyxvc::Options &opts = {},
                          std::string_view stubs = {}, const nyxvc::Limits &limits = {}) {
    nyxvc::Compilation c(opts, limits);
    Result r;
    c.request("L", top, "v", "t.v");
    r.ok = (stubs.empty() || c.parseStubs(stubs, "cells.v")) && c.parse(text, "t.v") && c.finish();
    for (const std::string &m : c.diag().messages) r.messages += m + "\n";
    if (r.ok) {
        nyxvc::StringSink sink;
        c.emit(sink);
        r.records = decodeRecords(sink.out);
    }
    return r;
}

} // namespace nyxvctest
