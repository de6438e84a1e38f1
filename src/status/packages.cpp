// Package registration: a hash of 16 chains of packages keyed by package name, and a hash of
// 16 chains of message module records keyed by message file base name. Records are shared and
// reference-counted by the packages naming the same file. Message-table modules do not exist on
// this platform, so a module record never holds a loaded module and registration never fails
// for want of one.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "status/statusInt.h"

namespace nyxstatus {
namespace {

// Static storage starts zeroed, which is the cleared state of both hashes.
Package *g_packages[kHashChains];
MessageModule *g_modules[kHashChains];
// Registration is meant to happen before threads report; the lock only keeps a careless
// caller from corrupting the chains.
std::mutex g_lock;

Package *lookupPackage(const char *name) {
    for (Package *p = g_packages[nameHash(name)]; p != nullptr; p = p->link)
        if (p->name == name) return p;
    return nullptr;
}

MessageModule *lookupModule(const char *fileBase) {
    for (MessageModule *m = g_modules[nameHash(fileBase)]; m != nullptr; m = m->link)
        if (m->fileBase == fileBase) return m;
    return nullptr;
}

// Finds the module record for `fileBase` and takes a reference, or creates it.
MessageModule *acquireModule(const char *fileBase) {
    if (MessageModule *m = lookupModule(fileBase)) {
        ++m->refCount;
        return m;
    }
    auto *m = new MessageModule;
    m->fileBase = fileBase;
    m->refCount = 1;
    int chain = nameHash(fileBase);
    m->link = g_modules[chain];
    g_modules[chain] = m;
    return m;
}

// Drops a reference; the record is unlinked and freed when the last one goes.
void releaseModule(MessageModule *module) {
    if (--module->refCount > 0) return;
    MessageModule **slot = &g_modules[nameHash(module->fileBase.c_str())];
    while (*slot != nullptr && *slot != module) slot = &(*slot)->link;
    if (*slot == module) *slot = module->link;
    delete module;
}

} // namespace

int nameHash(const char *name) {
    int x = 0;
    for (const char *c = name; *c != '\0'; ++c) x ^= static_cast<signed char>(*c);
    return std::abs(x) % kHashChains;
}

const Package *findPackage(const char *name) {
    if (name == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(g_lock);
    return lookupPackage(name);
}

const MessageModule *findModule(const char *fileBase) {
    if (fileBase == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(g_lock);
    return lookupModule(fileBase);
}

} // namespace nyxstatus

using namespace nyxstatus;

extern "C" NYX_API int zilerrRegisterPackage(const char *packageName, int32_t packageNumber,
                                             const char *messageFile, int32_t languageId) {
    if (packageName == nullptr) return 1;
    try {
        std::lock_guard<std::mutex> guard(g_lock);
        if (lookupPackage(packageName) != nullptr) return 0;
        auto *p = new Package;
        try {
            p->name = packageName;
            p->number = packageNumber;
            p->languageId = languageId;
            if (messageFile != nullptr && *messageFile != '\0') {
                p->fileBase = messageFile;
                p->module = acquireModule(messageFile);
            }
        } catch (...) {
            delete p;
            throw;
        }
        int chain = nameHash(packageName);
        p->link = g_packages[chain];
        g_packages[chain] = p;
        return 0;
    } catch (...) {
        return 1;
    }
}

extern "C" NYX_API int zilerrUnregisterPackage(const char *packageName) {
    if (packageName == nullptr) return 0;
    try {
        std::lock_guard<std::mutex> guard(g_lock);
        Package **slot = &g_packages[nameHash(packageName)];
        while (*slot != nullptr && (*slot)->name != packageName) slot = &(*slot)->link;
        Package *p = *slot;
        if (p == nullptr) return 0;
        *slot = p->link;
        if (p->module != nullptr) releaseModule(p->module);
        delete p;
        return 0;
    } catch (...) {
        return 0;
    }
}
