// The session's compiler parameters: a property list of the session, sent to every compilation
// as "#param" lines.
//
// The list and its strings live in the global heap, which the release drops at once; the list
// pointer is forgotten with it:
//   g_params != null  implies  g_generation == nyx::generation() when it is used (list())
// Its owner is the session (class code 26), which has no object: recording a change of it does
// nothing, and the property functions find no owner identifier for it.
#include <cstdio>
#include <string>

#include "compiler/compiler.h"
#include "dm/prop/prop.h"

namespace {

nyxPropList *g_params = nullptr;
uint64_t g_generation = 0;

nyxPropList *&list() {
    if (g_generation != nyx::generation()) {
        g_params = nullptr; // went with the heaps of an earlier session
        g_generation = nyx::generation();
    }
    return g_params;
}

// A name goes between "#param " and a blank: a blank or control character in it would change
// the line's meaning.
bool sendableName(const char *name) {
    for (const char *p = name; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= ' ' || c == 0x7f) return false;
    }
    return true;
}

bool hasLineBreak(const char *text) {
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') return true;
    }
    return false;
}

void appendLine(std::string &out, const nyxProp &p, bool encapsulated) {
    char number[64];
    out += "#param ";
    out += p.name();
    out += ' ';
    switch (p.type()) {
    case nyxPropBoolean:
        std::snprintf(number, sizeof number, "b %d", static_cast<int>(p.intValue()));
        out += number;
        break;
    case nyxPropInt:
        std::snprintf(number, sizeof number, "i %d", static_cast<int>(p.intValue()));
        out += number;
        break;
    case nyxPropFloat:
        std::snprintf(number, sizeof number, "f %f", static_cast<double>(p.floatValue()));
        out += number;
        break;
    case nyxPropString:
        out += "s ";
        out += p.stringValue();
        break;
    default:
        // Values of other types do not travel; their names do.
        if (!encapsulated) out += "s ";
        break;
    }
    out += '\n';
}

} // namespace

nyxObjRef nyxCompilerIntf::createParameter(const char *name, cfidrErrorT *err) {
    const nyxPropOwner session = {nullptr, 0, nyxCodeSession, nullptr, nullptr};
    return nyxPropCreate(list(), session, name, err);
}

nyxIter *nyxCompilerIntf::getParameters(cfidrErrorT *err) {
    return nyxPropGetProps(list(), err);
}

void nyxCompilerIntf::paramLines(std::string &out, bool encapsulated, cfidrErrorT *err) {
    const nyxPropList *params = list();
    const int32_t count = nyxPropListSize(params);
    // Everything is checked before anything is written.
    for (int32_t i = 0; i < count; ++i) {
        const nyxProp *p = nyxPropAt(params, static_cast<uint32_t>(i));
        if (p == nullptr || *p->name() == '\0') continue;
        if (!sendableName(p->name())) return (void)(*err = cfidrErrBadName);
        if (p->type() == nyxPropString && hasLineBreak(p->stringValue())) {
            return (void)(*err = cfidrErrBadValue);
        }
    }
    std::string lines;
    for (int32_t i = 0; i < count; ++i) {
        const nyxProp *p = nyxPropAt(params, static_cast<uint32_t>(i));
        if (p != nullptr && *p->name() != '\0') appendLine(lines, *p, encapsulated);
    }
    out += lines;
}
