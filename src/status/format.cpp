// Message texts: formatting a status text from the caller's default format, adding statuses,
// formatting without recording, printing a context, and the version text.
//
// A registered package's own message table would be tried first; no such tables exist on this
// platform, so every text comes from the default format (a printf-style format applied to the
// caller's arguments), with one trailing blank removed as a message-table text would have it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "status/statusInt.h"

namespace nyxstatus {

bool formatText(const char *defaultFormat, va_list args, std::string &out) {
    if (defaultFormat == nullptr) return false;
    char small[256];
    va_list first;
    va_copy(first, args);
    int n = std::vsnprintf(small, sizeof small, defaultFormat, first);
    va_end(first);
    if (n <= 0) return false;
    if (static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else {
        // Too long for the first buffer: format again into one of the exact size.
        out.resize(static_cast<size_t>(n));
        va_list second;
        va_copy(second, args);
        int m = std::vsnprintf(out.data(), out.size() + 1, defaultFormat, second);
        va_end(second);
        if (m != n) return false;
    }
    if (out.back() == ' ') out.pop_back();
    return true;
}

} // namespace nyxstatus

using namespace nyxstatus;

extern "C" NYX_API int zilerrAddStatusVararg(zilerrContextT context, int32_t messageId,
                                             const char *defaultFormat, const char *packageName,
                                             int32_t severity, int32_t flags, va_list args) {
    try {
        zilerrContext_ *c = resolveContext(context);
        if (c == nullptr) return 1;
        std::string text;
        bool formatted = formatText(defaultFormat, args, text);
        if (!formatted) text.clear();
        if (!appendStatus(c, packageName, messageId, severity, flags, text.data(), text.size()))
            return 1;
        return formatted ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

extern "C" NYX_API int zilerrAddStatus(zilerrContextT context, int32_t messageId,
                                       const char *defaultFormat, const char *packageName,
                                       int32_t severity, int32_t flags, ...) {
    va_list args;
    va_start(args, flags);
    int result =
        zilerrAddStatusVararg(context, messageId, defaultFormat, packageName, severity, flags, args);
    va_end(args);
    return result;
}

extern "C" NYX_API int zilerrFormatMessageVararg(int32_t messageId, const char *defaultFormat,
                                                 int bufferSize, char **buffer, va_list args) {
    (void)messageId; // Would select the text of a message table; none exist here.
    if (buffer == nullptr || bufferSize < 0 || (bufferSize > 0 && *buffer == nullptr)) return 0;
    try {
        std::string text;
        if (!formatText(defaultFormat, args, text) || text.size() > static_cast<size_t>(INT32_MAX))
            return 0;
        if (bufferSize == 0) {
            auto *p = static_cast<char *>(std::malloc(text.size() + 1));
            if (p == nullptr) return 0;
            std::memcpy(p, text.c_str(), text.size() + 1);
            *buffer = p;
            return static_cast<int>(text.size());
        }
        // The copy is always terminated inside the caller's buffer.
        size_t n = text.size() < static_cast<size_t>(bufferSize) ? text.size()
                                                                 : static_cast<size_t>(bufferSize) - 1;
        std::memcpy(*buffer, text.data(), n);
        (*buffer)[n] = '\0';
        return static_cast<int>(n);
    } catch (...) {
        return 0;
    }
}

extern "C" NYX_API int zilerrFormatMessage(int32_t messageId, const char *defaultFormat,
                                           int bufferSize, char **buffer, ...) {
    va_list args;
    va_start(args, buffer);
    int result = zilerrFormatMessageVararg(messageId, defaultFormat, bufferSize, buffer, args);
    va_end(args);
    return result;
}

extern "C" NYX_API int zilerrPrintContext(FILE *stream, zilerrContextT context, int withSeverity) {
    zilerrContext_ *c = resolveContext(context);
    if (stream == nullptr || c == nullptr || c->top < 0) return 1;
    for (int i = 0; i <= c->top; ++i) {
        const char *text = textAt(c, i);
        if (text == nullptr) return 1;
        const char *word = "";
        if (withSeverity) {
            switch (c->statuses[i].severity) {
            case zilerrNote: word = "Note: "; break;
            case zilerrWarning: word = "Warning: "; break;
            case zilerrError: word = "Error: "; break;
            default: break;
            }
        }
        if (std::fprintf(stream, "%s%s\n", word, text) < 0) return 1;
    }
    return 0;
}

extern "C" NYX_API const char *zilerrGetVersion(void) {
    static char version[64];
    static const bool filled = [] {
        std::snprintf(version, sizeof version, "ZILERR %s %s %s", "v2.2_2.3", "(production)",
                      "Thu Aug 18 10:13:35 GMT 2005");
        return true;
    }();
    (void)filled;
    return version;
}
