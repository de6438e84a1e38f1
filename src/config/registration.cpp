// Where selector sets join the rest of the library: their class rows (16-19) under the names the
// class table takes, the type-table rows of their two stored forms, and the opening of the
// selector-set files of the current directory at start.
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

} // namespace

extern constinit const nyxClassOps nyxSelectorSetOps = {
    setCreateProp,
    setDestroy,
    setFindProp,
    setGetName,
    setSetName,
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     setGetProps, nullptr, setGetLibSels, setGetViewSels, nullptr, nullptr, nullptr, nullptr},
    &kSetIterOps,
    &kSetOwn,
};

#define NYX_SELECTOR_ROW(rowName, prefix)                                                          \
    extern constinit const nyxClassOps rowName = {                                                 \
        prefix##CreateProp,                                                                        \
        prefix##Destroy,                                                                           \
        prefix##FindProp,                                                                          \
        nullptr,                                                                                   \
        nullptr,                                                                                   \
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, \
         prefix##GetProps, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},        \
        &kSelectorIterOps,                                                                         \
        nullptr,                                                                                   \
    }

NYX_SELECTOR_ROW(nyxLibrarySelectorOps, lib);
NYX_SELECTOR_ROW(nyxViewNameSelectorOps, view);
NYX_SELECTOR_ROW(nyxViewTypeSelectorOps, view);

void nyxHookOpenSelectorSetFile(const char *, const char *name) {
    nyxSelectorSet::openStartupFile(name);
}

namespace {

[[maybe_unused]] const bool g_installed = [] {
    nyxDMTypes::install(nyxDMTypes::kSelectorSet, nyxSelectorFile::read, nyxSelectorFile::write,
                        nyxSelectorFile::remove, nullptr);
    nyxDMTypes::install(nyxDMTypes::kSelectorSetOld, nyxSelectorFile::readOld,
                        nyxSelectorFile::writeOld, nyxSelectorFile::removeOld, nullptr);
    return true;
}();

} // namespace
