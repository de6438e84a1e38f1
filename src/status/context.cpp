// Status contexts: creation, growth, the per-thread default context, and the functions that
// read, pop and copy statuses. Storage is malloc'd so that growth reports shortage as a value.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "status/statusInt.h"

namespace nyxstatus {
namespace {

zilerrContext_ *newContext() {
    auto *c = static_cast<zilerrContext_ *>(std::malloc(sizeof(zilerrContext_)));
    if (c == nullptr) return nullptr;
    c->statuses =
        static_cast<StatusEntry *>(std::malloc(sizeof(StatusEntry) * kInitialStatusCapacity));
    c->text = static_cast<char *>(std::malloc(kInitialTextCapacity));
    if (c->statuses == nullptr || c->text == nullptr) {
        std::free(c->statuses);
        std::free(c->text);
        std::free(c);
        return nullptr;
    }
    c->top = -1;
    c->textUsed = 0;
    c->statusCapacity = kInitialStatusCapacity;
    c->textCapacity = kInitialTextCapacity;
    return c;
}

void freeContext(zilerrContext_ *c) {
    if (c == nullptr) return;
    std::free(c->statuses);
    std::free(c->text);
    std::free(c);
}

// The thread's default context, freed when the thread ends.
struct ThreadContext {
    zilerrContext_ *context = nullptr;
    ~ThreadContext() {
        freeContext(context);
        context = nullptr;
    }
};
thread_local ThreadContext t_context;

// Doubles `capacity` until it holds `needed`; false when that would pass INT32_MAX.
bool grownCapacity(int32_t capacity, int64_t needed, int32_t &out) {
    int64_t c = capacity > 0 ? capacity : 1;
    while (c < needed) c *= 2;
    if (c > INT32_MAX) return false;
    out = static_cast<int32_t>(c);
    return true;
}

} // namespace

zilerrContext_ *resolveContext(zilerrContext_ *context) {
    if (context != nullptr) return context;
    if (t_context.context == nullptr) t_context.context = newContext();
    return t_context.context;
}

void forgetThreadContext(zilerrContext_ *context) {
    if (t_context.context == context) t_context.context = nullptr;
}

const StatusEntry *entryAt(const zilerrContext_ *context, int index) {
    if (context == nullptr || index < 0 || index > context->top) return nullptr;
    return &context->statuses[index];
}

const char *textAt(const zilerrContext_ *context, int index) {
    const StatusEntry *e = entryAt(context, index);
    if (e == nullptr || e->textOffset < 0 || e->textOffset >= context->textUsed) return nullptr;
    return context->text + e->textOffset;
}

bool appendStatus(zilerrContext_ *context, const char *packageName, int32_t messageId,
                  int32_t severity, int32_t flags, const char *text, size_t length) {
    int64_t count = static_cast<int64_t>(context->top) + 1;
    int64_t textNeeded = static_cast<int64_t>(context->textUsed) + static_cast<int64_t>(length) + 1;
    if (length > static_cast<size_t>(INT32_MAX) || textNeeded > INT32_MAX) return false;

    // Grow both stores before changing anything, so that a shortage leaves the context whole.
    if (count + 1 > context->statusCapacity) {
        int32_t capacity;
        if (!grownCapacity(context->statusCapacity, count + 1, capacity)) return false;
        void *p = std::realloc(context->statuses, sizeof(StatusEntry) * static_cast<size_t>(capacity));
        if (p == nullptr) return false;
        context->statuses = static_cast<StatusEntry *>(p);
        context->statusCapacity = capacity;
    }
    if (textNeeded > context->textCapacity) {
        int32_t capacity;
        if (!grownCapacity(context->textCapacity, textNeeded, capacity)) return false;
        void *p = std::realloc(context->text, static_cast<size_t>(capacity));
        if (p == nullptr) return false;
        context->text = static_cast<char *>(p);
        context->textCapacity = capacity;
    }

    StatusEntry &e = context->statuses[count];
    std::memset(&e, 0, sizeof e);
    if (packageName != nullptr) {
        size_t n = strnlen(packageName, kPackageNameSize - 1);
        std::memcpy(e.packageName, packageName, n);
    }
    e.messageId = messageId;
    e.severity = severity;
    e.flags = flags;
    e.textOffset = context->textUsed;
    if (length > 0) std::memcpy(context->text + context->textUsed, text, length);
    context->text[context->textUsed + static_cast<int32_t>(length)] = '\0';
    context->textUsed = static_cast<int32_t>(textNeeded);
    context->top = static_cast<int32_t>(count);
    return true;
}

} // namespace nyxstatus

using namespace nyxstatus;

extern "C" NYX_API zilerrContextT zilerrCreateContext(void) { return newContext(); }

extern "C" NYX_API void zilerrDestroyContext(zilerrContextT context) {
    if (context == nullptr) {
        context = t_context.context;
        if (context == nullptr) return;
    }
    forgetThreadContext(context);
    freeContext(context);
}

extern "C" NYX_API zilerrContextT zilerrClearContext(zilerrContextT context) {
    zilerrContext_ *c = resolveContext(context);
    if (c != nullptr) {
        c->top = -1;
        c->textUsed = 0;
    }
    return c;
}

extern "C" NYX_API zilerrContextT zilerrContextForThread(void) { return resolveContext(nullptr); }

extern "C" NYX_API int zilerrGetCount(zilerrContextT context) {
    zilerrContext_ *c = resolveContext(context);
    return c == nullptr ? -1 : c->top + 1;
}

extern "C" NYX_API const char *zilerrGetMessage(zilerrContextT context, int index) {
    return textAt(resolveContext(context), index);
}

extern "C" NYX_API int32_t zilerrGetMessageId(zilerrContextT context, int index) {
    const StatusEntry *e = entryAt(resolveContext(context), index);
    return e == nullptr ? -1 : e->messageId;
}

extern "C" NYX_API int32_t zilerrGetSeverity(zilerrContextT context, int index) {
    const StatusEntry *e = entryAt(resolveContext(context), index);
    return e == nullptr ? 0 : e->severity;
}

extern "C" NYX_API int32_t zilerrGetFlags(zilerrContextT context, int index) {
    const StatusEntry *e = entryAt(resolveContext(context), index);
    return e == nullptr ? 0 : e->flags;
}

extern "C" NYX_API const char *zilerrGetPackage(zilerrContextT context, int index) {
    const StatusEntry *e = entryAt(resolveContext(context), index);
    return e == nullptr ? nullptr : e->packageName;
}

extern "C" NYX_API int zilerrSetFlags(zilerrContextT context, int index, int32_t flags) {
    zilerrContext_ *c = resolveContext(context);
    if (entryAt(c, index) == nullptr) return 1;
    c->statuses[index].flags = flags;
    return 0;
}

extern "C" NYX_API int zilerrPopStatus(zilerrContextT context) {
    zilerrContext_ *c = resolveContext(context);
    if (c == nullptr || c->top < 0) return 1;
    // The newest text is the last in the pool, so its start is where text used falls back to.
    int32_t offset = c->statuses[c->top].textOffset;
    c->textUsed = (offset >= 0 && offset <= c->textUsed) ? offset : 0;
    --c->top;
    return 0;
}

extern "C" NYX_API int zilerrCopyStatus(zilerrContextT destination, zilerrContextT source,
                                        int index) {
    try {
        zilerrContext_ *src = resolveContext(source);
        zilerrContext_ *dst = resolveContext(destination);
        const char *text = textAt(src, index);
        if (dst == nullptr || text == nullptr) return 1;
        // Copy out before appending: growing the destination may move the source's stores when
        // both are the same context.
        StatusEntry entry = src->statuses[index];
        std::string copy(text, strnlen(text, static_cast<size_t>(src->textUsed - entry.textOffset)));
        return appendStatus(dst, entry.packageName, entry.messageId, entry.severity, entry.flags,
                            copy.data(), copy.size())
                   ? 0
                   : 1;
    } catch (...) {
        return 1;
    }
}

extern "C" NYX_API int zilerrCopyContext(zilerrContextT destination, zilerrContextT source) {
    if (destination == nullptr && source == nullptr) return 1;
    zilerrContext_ *src = resolveContext(source);
    zilerrContext_ *dst = resolveContext(destination);
    if (src == nullptr || dst == nullptr) return 1;
    // Count first: copying a context into itself appends its statuses once.
    int count = src->top + 1;
    for (int i = 0; i < count; ++i)
        if (zilerrCopyStatus(dst, src, i) != 0) return 1;
    return 0;
}

// The texts of entries first..top lie back to back, so removing a run of entries closes one gap
// in the text pool and moves the offsets of the later entries down by its size.
bool nyxStatusRemove(zilerrContextT context, int first, int count) {
    zilerrContext_ *c = resolveContext(context);
    if (c == nullptr || first < 0 || count < 0 || int64_t{first} + count > int64_t{c->top} + 1)
        return false;
    if (count == 0) return true;
    const int end = first + count;  // the first entry that stays after the gap
    const int32_t to = c->statuses[first].textOffset;
    const int32_t from = end <= c->top ? c->statuses[end].textOffset : c->textUsed;
    std::memmove(c->text + to, c->text + from, static_cast<size_t>(c->textUsed - from));
    std::memmove(&c->statuses[first], &c->statuses[end],
                 sizeof(StatusEntry) * static_cast<size_t>(c->top + 1 - end));
    c->textUsed -= from - to;
    c->top -= count;
    for (int i = first; i <= c->top; ++i) c->statuses[i].textOffset -= from - to;
    return true;
}
