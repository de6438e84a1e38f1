// `nyx eval EXPR [NAME=VALUE ...]`: evaluates a property expression with the given names
// defined and prints the result and its kind, or the error text. A value that reads as a whole
// number in 32 bits is an integer, one that reads as another number a real, anything else a
// string (nyxprivPIEvaluateExpression).
#include <cstdio>
#include <cstring>
#include <vector>

#include "cfidr.h"
#include "command.h"
#include "nyxdw.h"
#include "nyxpriv.h"

namespace {

const char *typeWord(nyxdrValueTypeT type) {
    switch (type) {
    case cfidrBooleanValueType: return "boolean";
    case cfidrInt32ValueType: return "integer";
    case cfidrFloat32ValueType: return "real";
    case cfidrStringValueType: return "string";
    default: return "void";
    }
}

int runEval(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: nyx eval EXPR [NAME=VALUE ...]\n");
        return 2;
    }
    std::vector<const char *> definitions;
    for (int k = 2; k < argc; ++k) {
        const char *eq = std::strchr(argv[k], '=');
        if (eq == nullptr || eq == argv[k]) {
            std::fprintf(stderr, "nyx eval: '%s' is not NAME=VALUE\n", argv[k]);
            return 2;
        }
        definitions.push_back(argv[k]);
    }
    definitions.push_back(nullptr);
    cfidrErrorT err = 0;
    cfidrPIInit(&err);
    nyxdrValueTypeT type = 0;
    const char *value = nyxprivPIEvaluateExpression(argv[1], definitions.data(), &type, &err);
    int status = 0;
    if (err >= 31006 && err <= 31014) {
        cfidrErrorT e = 0;
        std::fprintf(stderr, "%s\n", nyxdwPIGetErrorText(err, &e));
        status = 1;
    } else if (err != 0) {
        std::fprintf(stderr, "Internal error occurred.\n");
        status = 1;
    } else {
        std::printf("%s\t%s\n", value, typeWord(type));
    }
    std::fflush(stdout);
    cfidrPIQuit(&err);
    return status;
}

} // namespace

NYX_COMMAND("eval", "EXPR [NAME=VALUE ...]",
            "evaluate a property expression with the given names defined", runEval);
