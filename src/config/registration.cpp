// Where selector sets join the rest of the library: their class rows (16-19), the type-table rows
// of their two stored forms, and the opening of the selector-set files of the current directory
// at start. nyxConfigInstall is the subsystem's start call in the session code's start list.
#include "config/configInt.h"

using namespace nyxSelectorOps;

namespace {

constinit const nyxSelectorSetClassOps kSetOwn = {
    nyxSelectorSet::create,
    nyxSelectorSet::open,
    nyxSelectorSet::createLibrarySelector,
    nyxSelectorSet::createViewSelector,
    nyxSelectorSet::getLibrarySelectors,
    nyxSelectorSet::getViewSelectors,
    nyxSelectorSet::selectView,
    nyxSelectorSet::save,
    nyxSelectorSet::purge,
};

constexpr nyxClassOps makeSetOps() {
    nyxClassOps ops{};
    ops.createProp = setCreateProp;
    ops.destroy = setDestroy;
    ops.findPropByName = setFindProp;
    ops.getName = setGetName;
    ops.setName = setSetName;
    ops.getters[nyxIterProp] = setGetProps;
    ops.getters[nyxIterLibrarySelector] = setGetLibSels;
    ops.getters[nyxIterViewSelector] = setGetViewSels;
    ops.own = &kSetOwn;
    return ops;
}

// Selectors have properties and can be destroyed; they have no name of their own.
constexpr nyxClassOps makeSelectorOps(bool library) {
    nyxClassOps ops{};
    ops.createProp = library ? libCreateProp : viewCreateProp;
    ops.destroy = library ? libDestroy : viewDestroy;
    ops.findPropByName = library ? libFindProp : viewFindProp;
    ops.getters[nyxIterProp] = library ? libGetProps : viewGetProps;
    return ops;
}

constinit const nyxClassOps kSetOps = makeSetOps();
constinit const nyxClassOps kLibrarySelectorOps = makeSelectorOps(true);
constinit const nyxClassOps kViewSelectorOps = makeSelectorOps(false);

void openSelectorSetFile(const char *, const char *name) { nyxSelectorSet::openStartupFile(name); }

} // namespace

void nyxConfigInstall() {
    nyxClasses::install(nyxCodeSelectorSet, &kSetOps);
    nyxClasses::install(nyxCodeLibrarySelector, &kLibrarySelectorOps);
    nyxClasses::install(nyxCodeViewNameSelector, &kViewSelectorOps);
    nyxClasses::install(nyxCodeViewTypeSelector, &kViewSelectorOps);
    nyxDMTypes::install(nyxDMTypes::kSelectorSet, nyxSelectorFile::read, nyxSelectorFile::write,
                        nyxSelectorFile::remove, nullptr);
    nyxDMTypes::install(nyxDMTypes::kSelectorSetOld, nyxSelectorFile::readOld,
                        nyxSelectorFile::writeOld, nyxSelectorFile::removeOld, nullptr);
    // An entry already filled is a stand-in a test put there before the session started: kept.
    if (nyxLater.openSelectorSetFile == nullptr) nyxLater.openSelectorSetFile = openSelectorSetFile;
}
