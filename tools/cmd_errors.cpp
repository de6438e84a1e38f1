// `nyx errors`: lists every error code of the interface with its text, one a line.
#include <cstdio>

#include "cfidr.h"
#include "command.h"
#include "nyxdw.h"

namespace {

int runErrors(int argc, char **) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: nyx errors\n");
        return 2;
    }
    cfidrErrorT err = 0;
    const int ranges[][2] = {{0, 53}, {30001, 30012}, {31001, 31014}};
    for (const auto &range : ranges) {
        for (int code = range[0]; code <= range[1]; ++code) {
            const char *text = nyxdwPIGetErrorText(code, &err);
            if (err != 0) {
                std::fprintf(stderr, "nyx errors: no text for code %d\n", code);
                return 1;
            }
            std::printf("%d\t%s\n", code, text);
        }
    }
    cfidrPIQuit(&err);
    return 0;
}

} // namespace

NYX_COMMAND("errors", "", "list every error code with its text", runErrors);
