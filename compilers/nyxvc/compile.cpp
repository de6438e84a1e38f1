// One compilation: parse, elaborate, emit.
#include "compile.h"

#include <algorithm>
#include <cctype>

#include "parser.h"

namespace nyxvc {

void Compilation::request(std::string_view lib, std::string_view cell, std::string_view view,
                          std::string_view compiledFrom) {
    lib_.assign(lib);
    cell_.assign(cell);
    view_.assign(view);
    from_.assign(compiledFrom);
    emitter_.reset();
}

bool Compilation::parseStubs(std::string_view text, std::string_view fileName) {
    haveStubs_ = true;
    Parser p(text, fileName, opts_, limits_, diag_, stubs_);
    return p.parse();
}

bool Compilation::parse(std::string_view text, std::string_view fileName,
                        const std::function<void(size_t)> &parsed) {
    file_.assign(fileName);
    Parser p(text, file_, opts_, limits_, diag_, design_);
    p.onModule([&](Module &m) {
        if (!moduleParsed(m)) return false;
        if (parsed) parsed(p.offset());
        return true;
    });
    return p.parse();
}

// A module whose cells are all known now is done at once; the others wait for the end.
bool Compilation::moduleParsed(Module &m) {
    cells_.update(design_, haveStubs_ ? &stubs_ : nullptr);
    const uint32_t index = static_cast<uint32_t>(design_.modules.size() - 1);
    for (const ChildRef &c : m.children) {
        if (!cells_.known(c.cellId)) {
            pending_.push_back(index);
            return true;
        }
    }
    return process(index);
}

bool Compilation::process(uint32_t index) {
    Module &m = design_.modules[index];
    Netlist &n = netlist_;
    if (!elaborate(m, cells_, opts_, limits_, file_, diag_, n)) return false;
    if (records_.size() <= index) records_.resize(index + 1);
    // The requested module takes the library's cell name, which may differ from the module's in
    // letter case when names are mapped.
    const bool requested = opts_.nameCase != NameCase::Preserve && m.name.size() == cell_.size() &&
                           std::equal(m.name.begin(), m.name.end(), cell_.begin(),
                                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    if (!emitter_) emitter_.emplace(opts_, lib_, view_, from_);
    emitter_->module(n, requested ? std::string_view(cell_) : m.name, records_[index]);
    instances_ += m.instances.size();
    m.release();
    return true;
}

bool Compilation::finish() {
    cells_.update(design_, haveStubs_ ? &stubs_ : nullptr);
    if (!cells_.inferUnknown(design_, pending_, file_, diag_)) return false;
    for (uint32_t index : pending_) {
        if (!process(index)) return false;
    }
    pending_.clear();
    if (!cells_.checkLateDefinitions(design_, file_, diag_)) return false;
    return moduleOrder(design_, cell_, opts_.nameCase != NameCase::Preserve, file_, diag_, order_);
}

bool Compilation::emit(ByteSink &sink) const {
    std::vector<const std::string *> records;
    for (uint32_t index : order_) records.push_back(&records_[index]);
    return Emitter::stream(records, sink);
}

} // namespace nyxvc
