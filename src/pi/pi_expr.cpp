// Evaluating an expression text outside any design, with names defined by the caller: what a
// command line or a script uses to try an expression before storing it as a property value.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "expr/expr.h"
#include "pi/pi.h"

namespace {

// Names given as "NAME=VALUE" texts; a later definition of a name replaces an earlier one. A value
// that reads as a whole number in 32 bits is an integer, one that reads as another number a real,
// anything else a string.
class DefinitionLookup : public nyxExprLookup {
public:
    // False when a definition has no "=" or an empty name.
    bool define(const char *const *definitions) {
        for (const char *const *d = definitions; d != nullptr && *d != nullptr; ++d) {
            const char *eq = std::strchr(*d, '=');
            if (eq == nullptr || eq == *d) return false;
            d_values[std::string(*d, eq)] = eq + 1;
        }
        return true;
    }

    bool lookup(const char *name, nyxExprCompilerContext *, nyxExprValue &out,
                cfidrErrorT *) override {
        auto it = d_values.find(name);
        if (it == d_values.end()) return false;
        const std::string &text = it->second;
        char *end = nullptr;
        errno = 0;
        const long whole = std::strtol(text.c_str(), &end, 10);
        const bool fits = errno == 0 && whole >= INT32_MIN && whole <= INT32_MAX;
        if (!text.empty() && *end == '\0' && fits) {
            out = nyxExprValue::ofInt(static_cast<int32_t>(whole));
            return true;
        }
        const double real = std::strtod(text.c_str(), &end);
        if (!text.empty() && *end == '\0' && text.find_first_of("xXnN") == std::string::npos) {
            out = nyxExprValue::ofReal(real);
            return true;
        }
        out = nyxExprValue::ofString(text.c_str(), static_cast<uint32_t>(text.size()));
        return true;
    }

private:
    std::map<std::string, std::string> d_values;
};

// The text of a value and its value type (0 void, 1 boolean, 2 integer, 3 real, 5 string).
std::string valueText(const nyxExprValue &v, nyxdrValueTypeT *type) {
    char number[64];
    switch (v.primaryKind()) {
    case nyxExprInt: *type = cfidrInt32ValueType; return std::to_string(v.i);
    case nyxExprReal:
        *type = cfidrFloat32ValueType;
        std::snprintf(number, sizeof number, "%.15g", v.r);
        return number;
    case nyxExprBool: *type = cfidrBooleanValueType; return v.i != 0 ? "true" : "false";
    case nyxExprString: *type = cfidrStringValueType; return std::string(v.s, strnlen(v.s, v.len));
    default: *type = cfidrNoValueType; return std::string();
    }
}

} // namespace

extern "C" {

NYX_API const char *nyxprivPIEvaluateExpression(const char *text, const char *const *definitions,
                                                nyxdrValueTypeT *type, cfidrErrorT *err) {
    nyxdrValueTypeT local = 0;
    nyxdrValueTypeT *t = type != nullptr ? type : &local;
    *t = 0;
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (nyxpi::session(e) == nullptr) return "";
        DefinitionLookup names;
        if (text == nullptr || !names.define(definitions)) {
            return nyxpi::fail(e, cfidrErrBadName), "";
        }
        nyxExprMgr *mgr = nyxExprSessionMgr();
        if (mgr == nullptr) return nyxpi::fail(e, cfidrErrInternal), "";
        const nyxExprValue v = mgr->evaluate(nullptr, text, &names, nullptr, e);
        if (*e != 0) return "";
        // Kept here so that the text outlives the call in trusted program mode too.
        static std::string result;
        nyxdrValueTypeT kind = 0;
        result = valueText(v, &kind);
        const char *out = nyxpi::returnString(result.c_str(), e);
        if (*e == 0) *t = kind;
        return out;
    });
}

} // extern "C"
