// Feeds arbitrary bytes to the location map reader as a top-level map file, then converts a few
// paths both ways with the map that resulted. Diagnostics go to /dev/null so that the fuzzer's
// own output stays readable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "paths/locmap_int.h"
#include "paths/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static FILE *devNull = [] {
        FILE *f = std::fopen("/dev/null", "w");
        nyxLocMapSetReportStream(f);
        return f;
    }();
    (void)devNull;

    nyxLocMap map;
    map.readText(std::string(reinterpret_cast<const char *>(data), size), "fuzz");

    char buf[kLocMapPathMax];
    char small[16];
    static const char *const paths[] = {"$A/x", "$PROJ", "$B\\y", "/a/b/c", "/", "rel/x", "$", "$x/../y"};
    for (const char *path : paths) {
        map.softToHard(path, buf, sizeof buf);
        map.hardToSoft(path, buf, sizeof buf);
        map.softToHard(path, small, sizeof small);
    }
    // Convert every hard name back and every soft name forth.
    for (const nyxLocMapEntry &entry : map.entries()) {
        for (const std::string &hard : entry.hardNames) map.hardToSoft((hard + "/f").c_str(), buf, sizeof buf);
        map.softToHard((entry.softName + "/f").c_str(), buf, sizeof buf);
    }
    return 0;
}
