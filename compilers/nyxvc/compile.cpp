// One compilation: parse, elaborate, emit.
#include "compile.h"

#include "parser.h"

namespace nyxvc {

bool Compilation::parse(std::string_view text, std::string_view fileName) {
    file_.assign(fileName);
    Parser p(text, file_, opts_, limits_, diag_, design_);
    return p.parse();
}

bool Compilation::parseStubs(std::string_view text, std::string_view fileName) {
    haveStubs_ = true;
    Parser p(text, fileName, opts_, limits_, diag_, stubs_);
    return p.parse();
}

bool Compilation::elaborate(std::string_view top) {
    if (!cells_.build(design_, haveStubs_ ? &stubs_ : nullptr, file_, diag_)) return false;
    if (!moduleOrder(design_, top, file_, diag_, order_)) return false;
    netlists_.resize(order_.size());
    for (size_t i = 0; i < order_.size(); ++i) {
        if (!nyxvc::elaborate(*order_[i], cells_, opts_, limits_, file_, diag_, netlists_[i])) return false;
    }
    return true;
}

bool Compilation::emit(std::string_view lib, std::string_view cell, std::string_view view,
                       std::string_view compiledFrom, ByteSink &sink) {
    Emitter e(opts_, lib, view, compiledFrom, sink);
    e.streamStart();
    for (size_t i = 0; i < netlists_.size(); ++i) {
        // The requested module comes last; it takes the cell name the library asked for, which
        // may differ from the module's in letter case only.
        e.module(netlists_[i], i + 1 == netlists_.size() ? cell : netlists_[i].module->name);
    }
    return e.streamEnd();
}

} // namespace nyxvc
