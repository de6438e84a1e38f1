// `nyx version`: prints the library's release banner.
#include <cstdio>

#include "cfidr.h"
#include "command.h"
#include "nyxdr.h"

namespace {

int runVersion(int argc, char **) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: nyx version\n");
        return 2;
    }
    cfidrErrorT err = 0;
    std::printf("%s\n", nyxdrPIGetVersion(&err));
    cfidrPIQuit(&err);
    return 0;
}

} // namespace

NYX_COMMAND("version", "", "print the release banner of the library", runVersion);
