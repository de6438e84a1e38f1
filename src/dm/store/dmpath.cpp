// Names in paths, path buffers and the directory cache.
#include "dm/store/dmpath.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "utils/fileio.h"

namespace nyxDMPath {

std::string encodeName(const char *name) {
    if (name == nullptr) return std::string();
    if (std::strcmp(name, ".") == 0) return "\n";
    if (std::strcmp(name, "..") == 0) return "\n\n";
    std::string out(name);
    for (char &c : out) {
        if (c == '/' || c == '\\') c = '\t';
    }
    return out;
}

bool fitsEntry(const char *name, const char *ext) {
    size_t length = encodeName(name).size();
    if (ext != nullptr) length += 1 + std::strlen(ext) + kCompanionSuffix;
    return length <= kMaxEntry;
}

bool fitsPath(const std::string &path) {
    size_t from = 0;
    for (;;) {
        const size_t slash = path.find('/', from);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        if (end - from > kMaxEntry) return false;
        if (slash == std::string::npos) return true;
        from = slash + 1;
    }
}

std::string decodeName(const char *stored) {
    std::string out(stored != nullptr ? stored : "");
    for (char &c : out) {
        if (c == '\t') {
            c = '/';
        } else if (c == '\n') {
            c = '.';
        }
    }
    return out;
}

bool isStoredName(const std::string &entry) {
    return !entry.empty() && encodeName(decodeName(entry.c_str()).c_str()) == entry;
}

// ---------------------------------------------------------------------------------------------
// Path buffers

namespace {

constexpr size_t kPathBuffers = 24;
std::array<std::unique_ptr<char[]>, kPathBuffers> g_buffers;
size_t g_nextBuffer = 0;

} // namespace

char *pathBuffer(const std::string &path) {
    std::unique_ptr<char[]> &slot = g_buffers[g_nextBuffer];
    g_nextBuffer = (g_nextBuffer + 1) % kPathBuffers;
    // Buffers are 1024 bytes as a rule; a longer path gets a buffer of its own size.
    slot.reset(new char[std::max<size_t>(1024, path.size() + 1)]);
    std::memcpy(slot.get(), path.c_str(), path.size() + 1);
    return slot.get();
}

void releasePathBuffers() {
    for (auto &b : g_buffers) b.reset();
    g_nextBuffer = 0;
}

// ---------------------------------------------------------------------------------------------
// Directory cache

namespace {

struct Listing {
    std::string directory;
    int uses = 0;
    std::vector<std::string> names;
};

constexpr size_t kCacheSlots = 8;
// Slots hold listings by pointer, so that a cleared slot's listing can live on while in use.
std::array<std::shared_ptr<Listing>, kCacheSlots> g_slots;
// Listings dropped by clearDirectoryCache while still in use.
std::vector<std::shared_ptr<Listing>> g_retired;

} // namespace

const std::vector<std::string> *getDiskDirectory(const std::string &directory) {
    for (auto &slot : g_slots) {
        if (slot && slot->directory == directory) {
            ++slot->uses;
            return &slot->names;
        }
    }
    std::shared_ptr<Listing> *chosen = nullptr;
    for (auto &slot : g_slots) {
        if (!slot) {
            chosen = &slot;
            break;
        }
    }
    if (chosen == nullptr) {
        for (auto &slot : g_slots) {
            if (slot->uses == 0) {
                chosen = &slot;
                break;
            }
        }
    }
    if (chosen == nullptr) return nullptr;
    auto listing = std::make_shared<Listing>();
    if (!nyxFileIO::listDirectory(directory, listing->names)) return nullptr;
    listing->directory = directory;
    listing->uses = 1;
    *chosen = std::move(listing);
    return &(*chosen)->names;
}

void freeDiskDirectory(const std::string &directory) {
    for (auto &slot : g_slots) {
        if (slot && slot->directory == directory) {
            if (slot->uses > 0) --slot->uses;
            return;
        }
    }
    for (auto it = g_retired.begin(); it != g_retired.end(); ++it) {
        if ((*it)->directory == directory && --(*it)->uses <= 0) {
            g_retired.erase(it);
            return;
        }
    }
}

void clearDirectoryCache() {
    for (auto &slot : g_slots) {
        if (slot && slot->uses > 0) g_retired.push_back(slot);
        slot.reset();
    }
}

} // namespace nyxDMPath
