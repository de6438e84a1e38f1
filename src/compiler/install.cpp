// The compiler interface joins the session: the steps of libraries, cells and the release that
// it serves (nyxLater, dm/store/store.h).
#include "compiler/compiler.h"

namespace {

// The release: the running compilers stop (beforeRulesCleared), then the rules go.
void releaseCompilers() {
    if (nyxCompilerIntf::beforeRulesCleared != nullptr) nyxCompilerIntf::beforeRulesCleared();
    nyxCompilerIntf::clearRules();
}

} // namespace

void nyxCompilerInstall() {
    // The cell read's rank of an entry's extension: the rank of the rule for that view type.
    if (nyxLater.compilerRuleRank == nullptr) nyxLater.compilerRuleRank = nyxCompilerIntf::ruleRank;
    if (nyxLater.stopCompilers == nullptr) nyxLater.stopCompilers = releaseCompilers;
    // The process table stops its compilers before the rules that refer to them are cleared.
    nyxCompilerIntf::beforeRulesCleared = nyxCompilerIntf::stopAllCompilers;
}
