// The generated hierarchy the walk benchmarks share: `levels` levels of kVariants views each, every
// view holding two nets and kFanout instances of the level below (variant (v + i) mod kVariants),
// over kVariants leaf views of four ports. The occurrences grow as kFanout^levels while the
// distinct views stay kVariants per level.
#pragma once

#include <string>
#include <vector>

#include "cfidr.h"

namespace nyxbench {

constexpr int kVariants = 3;
constexpr int kFanout = 10;

// A new netlist view "netlist" of a new cell `name` of lib.
inline cfiOID newView(cfiOID lib, const std::string &name, cfidrErrorT *e) {
    cfiOID cell = cfidrLibCreateCell(lib, name.c_str(), e);
    return cfidrCellCreateNetlistView(cell, "netlist", e);
}

// Builds the hierarchy in lib and returns its root, variant 0 of level 1.
inline cfiOID generateWalkDesign(cfiOID lib, int levels, cfidrErrorT *e) {
    std::vector<cfiOID> below;
    for (int v = 0; v < kVariants; ++v) {
        cfiOID leaf = newView(lib, "leaf" + std::to_string(v), e);
        for (const char *p : {"a", "b", "c", "y"}) cfidrNetlistViewCreatePortScalar(leaf, p, -1, 1, e);
        below.push_back(leaf);
    }
    for (int level = levels; level >= 1; --level) {
        std::vector<cfiOID> here;
        for (int v = 0; v < kVariants; ++v) {
            cfiOID x = newView(lib, "l" + std::to_string(level) + "v" + std::to_string(v), e);
            cfidrNetlistViewCreateNetScalar(x, "n0", e);
            cfidrNetlistViewCreateNetScalar(x, "n1", e);
            for (int i = 0; i < kFanout; ++i) {
                cfidrNetlistViewCreateInst(x, below[(v + i) % kVariants], ("i" + std::to_string(i)).c_str(), e);
            }
            here.push_back(x);
        }
        below = here;
    }
    return below[0];
}

} // namespace nyxbench
