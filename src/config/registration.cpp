// Where selector sets join the rest of the library: their class rows (16-19), the type-table rows
// of their two stored forms, and the opening of the selector-set files of the current directory
// at start; occurrence property sets: class rows 21-24 and type-table row 9; and design
// configurations: class row 25, type-table row 8 and the hook for stored objects going away.
// nyxConfigInstall is the subsystem's start call in the session code's start list.
#include "config/configInt.h"
#include "config/occpropInt.h"

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

// --- Occurrence property sets ---------------------------------------------------------------------

std::vector<std::string> occPath(const nyxOccPropNode *node) { return nyxOccPropPath::path(node); }
std::vector<std::string> occMemberPath(const nyxOccPropNode *node) { return nyxOccPropPath::memberPath(node); }
std::string occPathname(const nyxOccPropNode *node) { return nyxOccPropPath::pathname(node); }

constinit const nyxOccPropSetClassOps kOccPropSetOwn = {
    nyxOccPropSet::create,
    nyxOccPropSet::open,
    nyxOccPropSet::find,
    nyxOccPropSet::save,
    nyxOccPropSet::purge,
    nyxOccPropSet::createNode,
    nyxOccPropSet::findNode,
    nyxOccPropSet::getNodes,
    occPath,
    occMemberPath,
    occPathname,
};

constexpr nyxClassOps makeOccPropSetOps() {
    nyxClassOps ops{};
    ops.createProp = nyxOccPropOps::setCreateProp;
    ops.destroy = nyxOccPropOps::setDestroy;
    ops.findPropByName = nyxOccPropOps::setFindProp;
    ops.getName = nyxOccPropOps::setGetName;
    ops.setName = nyxOccPropOps::noRename;
    ops.getters[nyxIterProp] = nyxOccPropOps::setGetProps;
    ops.getters[nyxIterOccProp] = nyxOccPropOps::setGetNodes;
    ops.own = &kOccPropSetOwn;
    return ops;
}

// Occurrence properties: an instance node lists its children for the withdrawal walk.
constexpr nyxClassOps makeOccPropOps(bool inst) {
    nyxClassOps ops{};
    ops.createProp = nyxOccPropOps::nodeCreateProp;
    ops.destroy = nyxOccPropOps::nodeDestroy;
    ops.findPropByName = nyxOccPropOps::nodeFindProp;
    ops.getName = nyxOccPropOps::nodeGetName;
    ops.setName = nyxOccPropOps::noRename;
    ops.getters[nyxIterProp] = nyxOccPropOps::nodeGetProps;
    if (inst) ops.getters[nyxIterOccProp] = nyxOccPropOps::nodeGetChildren;
    return ops;
}

constinit const nyxClassOps kOccPropSetOps = makeOccPropSetOps();
constinit const nyxClassOps kViewOccPropOps = makeOccPropOps(true);
constinit const nyxClassOps kLeafOccPropOps = makeOccPropOps(false);

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
    nyxClasses::install(nyxCodeOccPropSet, &kOccPropSetOps);
    nyxClasses::install(nyxCodeViewOccProp, &kViewOccPropOps);
    nyxClasses::install(nyxCodeNetOccProp, &kLeafOccPropOps);
    nyxClasses::install(nyxCodePortOccProp, &kLeafOccPropOps);
    nyxDMTypes::install(nyxDMTypes::kOccPropSet, nyxOccPropFile::read, nyxOccPropFile::write,
                        nyxOccPropFile::remove, nyxOccPropSet::constructStored);
    for (int32_t code = nyxCodeOccPropSet; code <= nyxCodePortOccProp; ++code) {
        nyxPropChangeHooks[code] = nyxOccPropOps::propChanged;
    }
    // An entry already filled is a stand-in a test put there before the session started: kept.
    if (nyxLater.openSelectorSetFile == nullptr) nyxLater.openSelectorSetFile = openSelectorSetFile;
    nyxDesignConfigInstall();
}

// --- Design configurations ------------------------------------------------------------------------

namespace {

constinit const nyxDesignConfigClassOps kConfigOwn = {
    nyxDesignConfig::create,
    nyxDesignConfig::open,
    nyxDesignConfig::findByName,
    nyxDesignConfig::getRootView,
    nyxDesignConfig::getSelectionMode,
    nyxDesignConfig::getOccPropSets,
    nyxDesignConfig::findOccPropSetByName,
    nyxDesignConfig::insertOccPropSet,
    nyxDesignConfig::removeOccPropSet,
    nyxDesignConfig::save,
    nyxDesignConfig::purge,
};

constexpr nyxClassOps makeConfigOps() {
    nyxClassOps ops{};
    ops.createProp = nyxDesignConfigOps::createProp;
    ops.destroy = nyxDesignConfigOps::destroy;
    ops.findPropByName = nyxDesignConfigOps::findProp;
    ops.getName = nyxDesignConfigOps::getName;
    ops.getters[nyxIterProp] = nyxDesignConfigOps::getProps;
    ops.own = &kConfigOwn;
    return ops;
}

constinit const nyxClassOps kConfigOps = makeConfigOps();

} // namespace

// Class row 25, type-table row 8 (stored form and the construct operation of a cell's read),
// and the hook that clears configurations' references to a stored object going away.
void nyxDesignConfigInstall() {
    nyxClasses::install(nyxCodeDesignConfig, &kConfigOps);
    nyxDMTypes::install(nyxDMTypes::kDesignConfig, nyxDesignConfigFile::read,
                        nyxDesignConfigFile::write, nyxDesignConfigFile::remove,
                        nyxDesignConfig::constructStored);
    nyxLater.storedObjectGoing = nyxDesignConfig::storedObjectGoing;
}
