// nyxvc.h - the face of nyxvc, our structural Verilog compiler: it reads gate-level Verilog and
// answers the library's compiler protocol with one netlist view per module the file defines.
//
// Stages, one file pair each: source (the mapped file), lexer (tokens), parser (a model of each
// module), elab (nets joined by `assign`, ports, instances with their connected nets), emit (the
// binary records), session (the command lines, finding the source file, the text answer).
// Every stage reports a failure as a message into Diagnostics and returns false; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nyxvc {

// Name case and bit-name delimiters, from the options line of the library.
enum class NameCase : uint8_t { Preserve, Lower, Upper };

struct Options {
    NameCase nameCase = NameCase::Preserve;
    bool parens = false;  // bit names "a(3)" instead of "a[3]"
    char open() const { return parens ? '(' : '['; }
    char close() const { return parens ? ')' : ']'; }
};

// Bounds that keep a hostile file from asking for unbounded memory: bits of one declaration or
// constant, bits of one module, repetitions of one replication.
struct Limits {
    uint32_t maxWidth = 1u << 20;
    uint64_t maxModuleBits = 1ull << 27;
    uint64_t maxItems = 1ull << 28;
};

// Messages of one compilation, in the order they were made; failed is set by the first error.
struct Diagnostics {
    std::vector<std::string> messages;
    bool failed = false;

    void error(std::string_view file, uint32_t line, const std::string &text) {
        add(file, line, "error: " + text);
        failed = true;
    }
    void warning(std::string_view file, uint32_t line, const std::string &text) {
        add(file, line, "warning: " + text);
    }

private:
    void add(std::string_view file, uint32_t line, const std::string &text) {
        std::string m(file);
        if (line != 0) m += ":" + std::to_string(line);
        messages.push_back(m + ": " + text);
    }
};

} // namespace nyxvc
