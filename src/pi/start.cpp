// The session code: the start and the release of the library as two explicit ordered lists of the
// subsystems' steps. Every subsystem that takes part is named here, in its place; nothing runs
// through weak symbols or load-time registration.
//
// A subsystem joins by adding its start call to the start list (installing its class rows with
// nyxClasses::install, its type-table rows with nyxDMTypes::install, and the entries of
// nyxLater it supplies) and, when it holds state of its own, its release step to the release list
// (see dm/prop/prop.h). A start call that fills nyxLater comes before the first step that runs
// that entry (the selector-set files: before the library map).
#include "compiler/compiler.h"
#include "config/config.h"
#include "dm/netlist/netlist.h"
#include "dm/store/store.h"
#include "dw/dw.h"
#include "expr/expr.h"
#include "io/io.h"
#include "paths/paths.h"
#include "pi/pi.h"

namespace nyxpi {
namespace {

// Runs one release step. The release must run to its end whatever a step does: the heaps are
// dropped at its end in any case, so a step that fails has nothing left to clean up.
template <class F> void releaseStep(F &&step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

nyx *startSession() {
    // The tables: the class rows and type-table rows of the subsystems present. They hold only
    // function addresses and outlive a release, so installing them again is harmless.
    nyxDMInstall();
    nyxViewIO::install();
    nyxConfigInstall();  // fills nyxLater.openSelectorSetFile, run by the library map step
    nyxdw::install();    // the drop of occurrence trees, for configurations going away
    nyxCompilerInstall();  // the cell read's rule rank, the release of compilers and rules
    nyxCompilerPurgeHook = purgeViewWithdrawing;  // a compiled view replaced by a later record
    nyxEncapsulatedViewInstall();  // class 15 and the rows of encapsulated views
    nyxEncViewIO::install();       // their stored form
    nyxCompilerOpenInstall();  // the general view opening: stored views and compile-on-open
    // The global state: lists, heap system, global heap.
    nyx *state = nyx::create();
    if (state == nullptr) return nullptr;
    try {
        nyxExprStartSession();
        nyxStoreOpenSearchPathLibraries();  // ZIL_CFI_LIBPATH, read-only
        nyxStoreOpenLibraryMap();           // ZIL_NYX_LIBRARYMAP ".": libraries and selector sets
        nyxSettings::setOptionsFromEnvironment();
    } catch (...) {
        // A step failed (memory ran out): what had started goes again.
        endSession();
        return nullptr;
    }
    return state;
}

void endSession() {
    nyx *state = nyx::session;
    if (state == nullptr) return;
    if (nyxSettings::hasNameOption(nyxSettings::kSchematicCompilerMode) &&
        nyxLater.terminateSvc != nullptr) {
        releaseStep(nyxLater.terminateSvc);
    }
    nyxIterCacheBase::emptyAll();
    releaseStep(nyxdwEndWalks);  // walks of occurrence iterators never quit
    if (nyxLater.stopCompilers != nullptr) releaseStep(nyxLater.stopCompilers);
    releaseStep(nyxStoreClearPathCaches);  // path buffers, directory cache
    releaseStep(nyxLocMapClearCache);      // soft/hard path-name cache
    state->clearLists();
    releaseStep(nyxExprEndSession);  // before the heaps go
    nyx::destroy();
}

} // namespace nyxpi
