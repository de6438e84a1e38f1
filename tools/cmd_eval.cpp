// `nyx eval EXPR [NAME=VALUE ...]`: evaluates a property expression with the given names
// defined and prints the result and its kind, or the error text.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "command.h"
#include "expr/expr.h"

namespace {

// Names given on the command line. A value that reads as a whole number in 32 bits is an
// integer, one that reads as another number a real, anything else a string.
class ArgumentLookup : public nyxExprLookup {
public:
    bool define(const char *assignment) {
        const char *eq = std::strchr(assignment, '=');
        if (eq == nullptr || eq == assignment) return false;
        d_values[std::string(assignment, eq)] = eq + 1;
        return true;
    }

    bool lookup(const char *name, nyxExprCompilerContext *, nyxExprValue &out,
                cfidrErrorT *) override {
        auto it = d_values.find(name);
        if (it == d_values.end()) return false;
        const std::string &text = it->second;
        char *end = nullptr;
        errno = 0;
        long whole = std::strtol(text.c_str(), &end, 10);
        if (!text.empty() && *end == '\0' && errno == 0 && whole >= INT32_MIN && whole <= INT32_MAX) {
            out = nyxExprValue::ofInt(static_cast<int32_t>(whole));
            return true;
        }
        double real = std::strtod(text.c_str(), &end);
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

int runEval(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: nyx eval EXPR [NAME=VALUE ...]\n");
        return 2;
    }
    ArgumentLookup names;
    for (int k = 2; k < argc; ++k) {
        if (!names.define(argv[k])) {
            std::fprintf(stderr, "nyx eval: '%s' is not NAME=VALUE\n", argv[k]);
            return 2;
        }
    }
    nyxExprMgr *mgr = nyxExprMgr::create();
    if (mgr == nullptr) {
        std::fprintf(stderr, "nyx eval: out of memory\n");
        return 1;
    }
    cfidrErrorT err = 0;
    nyxExprValue v = mgr->evaluate("nyx eval", argv[1], &names, nullptr, &err);
    int status = 0;
    if (err != 0) {
        const char *text = nyxExprErrorText(err);
        std::fprintf(stderr, "%s\n", text != nullptr ? text : "Internal error occurred.");
        status = 1;
    } else {
        switch (v.primaryKind()) {
        case nyxExprInt: std::printf("%d\tinteger\n", v.i); break;
        case nyxExprReal: std::printf("%.15g\treal\n", v.r); break;
        case nyxExprBool: std::printf("%s\tboolean\n", v.i != 0 ? "true" : "false"); break;
        case nyxExprString: std::printf("%.*s\tstring\n", static_cast<int>(v.len), v.s); break;
        default: std::printf("\tvoid\n"); break;
        }
    }
    nyxExprMgr::destroy(mgr);
    return status;
}

} // namespace

NYX_COMMAND("eval", "EXPR [NAME=VALUE ...]",
            "evaluate a property expression with the given names defined", runEval);
