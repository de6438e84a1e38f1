// gen_verilog: writes synthetic hierarchical gate-level Verilog and the stub file of its cells,
// for measuring Verilog import against other tools on the same files.
//
//   gen_verilog --mode reuse|unique|flat --cells N [--leaf G] [--fanout K] [--width W]
//               [--seed S] [--top NAME] --out FILE.v [--stubs CELLS.v]
//
// A leaf module holds G gates over a standard-cell name set with 1 to 4 inputs; its input and
// output buses (W bits) chain through its gates. A parent module instantiates up to K children
// and chains its buses through them (child k's output bus feeds child k+1's input). Modes:
//   reuse   one module per level, every level instantiating K copies of the level below: about
//           N occurrences of leaf cells from a file of a few kilobytes (G is adjusted so that
//           G * K^depth is close to N);
//   unique  every instance of the tree its own module, so the file grows with the cells;
//   flat    one module holding all N gates, named as the hierarchy would flatten them, with
//           escaped names ("\u3/u1/g17 ").
// The generator prints the number of modules, leaf cells and bytes written on standard error.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Cell {
    const char *name;
    int inputs;
};

// Names and pins of a common 0.18 um open cell library, so that peers can link the same files.
const Cell kCells[] = {{"INVX1", 1},   {"BUFX2", 1},   {"NAND2X1", 2}, {"NOR2X1", 2},  {"AND2X2", 2},
                       {"OR2X2", 2},   {"XOR2X1", 2},  {"XNOR2X1", 2}, {"NAND3X1", 3}, {"NOR3X1", 3},
                       {"AOI21X1", 3}, {"OAI21X1", 3}, {"AOI22X1", 4}, {"OAI22X1", 4}};
const char *const kPins[] = {"A", "B", "C", "D"};
constexpr int kCellCount = sizeof kCells / sizeof kCells[0];

struct Args {
    std::string mode = "unique";
    uint64_t cells = 1000;
    uint64_t leaf = 1000;
    uint64_t fanout = 10;
    int width = 8;
    uint64_t seed = 1;
    std::string top = "top";
    std::string out, stubs;
};

struct Out {
    std::FILE *f = nullptr;
    uint64_t bytes = 0;
    void put(const std::string &s) {
        std::fwrite(s.data(), 1, s.size(), f);
        bytes += s.size();
    }
};

uint64_t g_rng = 1;
uint64_t nextRandom() {
    g_rng = g_rng * 6364136223846793005ull + 1442695040888963407ull;
    return g_rng >> 33;
}

// The gates of one leaf: gate i reads W input bits or outputs of earlier gates and drives its own
// net; the last W gates drive the output bus. prefix names instances and nets (flat mode).
void writeGates(Out &o, uint64_t gates, int width, const std::string &inPrefix, const std::string &outPrefix,
                const std::string &prefix, bool escaped) {
    std::string s;
    auto net = [&](uint64_t i) {
        return escaped ? "\\" + prefix + "n" + std::to_string(i) + " " : "n" + std::to_string(i);
    };
    if (!escaped && gates > 0) {
        for (uint64_t i = 0; i < gates; ++i) {
            s += (i % 16 == 0 ? (i ? ";\n  wire " : "  wire ") : ", ") + net(i);
        }
        s += ";\n";
    }
    for (uint64_t i = 0; i < gates; ++i) {
        const Cell &c = kCells[nextRandom() % kCellCount];
        s += "  ";
        s += c.name;
        s += escaped ? " \\" + prefix + "g" + std::to_string(i) + "  (" : " g" + std::to_string(i) + " (";
        for (int k = 0; k < c.inputs; ++k) {
            // Read one of the last 32 signals: earlier gates or the input bus.
            const uint64_t back = 1 + nextRandom() % 32;
            std::string src;
            if (back > i) {
                src = inPrefix + "[" + std::to_string((back - i - 1) % static_cast<uint64_t>(width)) + "]";
            } else {
                src = net(i - back);
            }
            s += "." + std::string(kPins[k]) + "(" + src + "), ";
        }
        const uint64_t fromEnd = gates - 1 - i;
        if (fromEnd < static_cast<uint64_t>(width)) {
            s += ".Y(" + outPrefix + "[" + std::to_string(fromEnd) + "]));\n";
        } else {
            s += ".Y(" + net(i) + "));\n";
        }
        if (s.size() > (1u << 16)) {
            o.put(s);
            s.clear();
        }
    }
    o.put(s);
}

std::string header(const std::string &name, int width) {
    const std::string range = "[" + std::to_string(width - 1) + ":0]";
    return "module " + name + " (in, out);\n  input " + range + " in;\n  output " + range + " out;\n";
}

// A parent: children[k] instantiated as u<k>, buses chained through them.
void writeParent(Out &o, const std::string &name, const std::vector<std::string> &children, int width) {
    std::string s = header(name, width);
    const std::string range = "[" + std::to_string(width - 1) + ":0]";
    for (size_t k = 1; k < children.size(); ++k) s += "  wire " + range + " c" + std::to_string(k) + ";\n";
    for (size_t k = 0; k < children.size(); ++k) {
        const std::string in = k == 0 ? "in" : "c" + std::to_string(k);
        const std::string out = k + 1 == children.size() ? "out" : "c" + std::to_string(k + 1);
        s += "  " + children[k] + " u" + std::to_string(k) + " (.in(" + in + "), .out(" + out + "));\n";
    }
    s += "endmodule\n";
    o.put(s);
}

void writeStubs(const std::string &path) {
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (f == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    for (const Cell &c : kCells) {
        std::string s = "module " + std::string(c.name) + " (";
        for (int k = 0; k < c.inputs; ++k) s += std::string(kPins[k]) + ", ";
        s += "Y);\n  input ";
        for (int k = 0; k < c.inputs; ++k) s += (k ? ", " : "") + std::string(kPins[k]);
        s += ";\n  output Y;\nendmodule\n";
        std::fputs(s.c_str(), f);
    }
    std::fclose(f);
}

// Node sizes of a tree over `leaves` leaves with fanout K, bottom level first.
std::vector<uint64_t> levelSizes(uint64_t leaves, uint64_t fanout) {
    std::vector<uint64_t> sizes{leaves};
    while (sizes.back() > 1) sizes.push_back((sizes.back() + fanout - 1) / fanout);
    return sizes;
}

uint64_t g_modules = 0, g_cells = 0;

void reuse(Out &o, const Args &a) {
    uint64_t depth = 0;
    if (a.cells > a.leaf) depth = static_cast<uint64_t>(std::llround(std::log(double(a.cells) / double(a.leaf)) / std::log(double(a.fanout))));
    uint64_t occurrences = 1;
    for (uint64_t d = 0; d < depth; ++d) occurrences *= a.fanout;
    const uint64_t gates = std::max<uint64_t>(1, (a.cells + occurrences / 2) / occurrences);
    o.put(header(depth == 0 ? a.top : "level0", a.width));
    writeGates(o, gates, a.width, "in", "out", "", false);
    o.put("endmodule\n");
    for (uint64_t d = 1; d <= depth; ++d) {
        const std::string name = d == depth ? a.top : "level" + std::to_string(d);
        writeParent(o, name, std::vector<std::string>(a.fanout, "level" + std::to_string(d - 1)), a.width);
    }
    g_modules = depth + 1;
    g_cells = gates * occurrences;
}

void unique(Out &o, const Args &a) {
    const uint64_t leaves = std::max<uint64_t>(1, (a.cells + a.leaf - 1) / a.leaf);
    const std::vector<uint64_t> sizes = levelSizes(leaves, a.fanout);
    for (uint64_t i = 0; i < leaves; ++i) {
        const uint64_t gates = i + 1 < leaves ? a.leaf : a.cells - a.leaf * (leaves - 1);
        o.put(header(sizes.size() == 1 ? a.top : "m0_" + std::to_string(i), a.width));
        writeGates(o, gates, a.width, "in", "out", "", false);
        o.put("endmodule\n");
        g_cells += gates;
    }
    for (size_t level = 1; level < sizes.size(); ++level) {
        for (uint64_t i = 0; i < sizes[level]; ++i) {
            std::vector<std::string> children;
            for (uint64_t k = i * a.fanout; k < std::min(sizes[level - 1], (i + 1) * a.fanout); ++k) {
                children.push_back("m" + std::to_string(level - 1) + "_" + std::to_string(k));
            }
            const bool top = level + 1 == sizes.size();
            writeParent(o, top ? a.top : "m" + std::to_string(level) + "_" + std::to_string(i), children, a.width);
        }
    }
    g_modules = 0;
    for (uint64_t s : sizes) g_modules += s;
}

// The same tree flattened: one module, instance and net names carrying their path.
void flat(Out &o, const Args &a) {
    const uint64_t leaves = std::max<uint64_t>(1, (a.cells + a.leaf - 1) / a.leaf);
    const std::vector<uint64_t> sizes = levelSizes(leaves, a.fanout);
    o.put(header(a.top, a.width));
    const std::string range = "[" + std::to_string(a.width - 1) + ":0]";
    for (uint64_t i = 1; i < leaves; ++i) o.put("  wire " + range + " c" + std::to_string(i) + ";\n");
    for (uint64_t i = 0; i < leaves; ++i) {
        // The leaf's path: its index at each level, top first.
        std::string path;
        uint64_t idx = i;
        for (size_t level = 0; level + 1 < sizes.size(); ++level) {
            path = "u" + std::to_string(idx % a.fanout) + "/" + path;
            idx /= a.fanout;
        }
        const uint64_t gates = i + 1 < leaves ? a.leaf : a.cells - a.leaf * (leaves - 1);
        const std::string in = i == 0 ? "in" : "c" + std::to_string(i);
        const std::string out = i + 1 == leaves ? "out" : "c" + std::to_string(i + 1);
        writeGates(o, gates, a.width, in, out, path, true);
        g_cells += gates;
    }
    o.put("endmodule\n");
    g_modules = 1;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: gen_verilog --mode reuse|unique|flat --cells N [--leaf G] [--fanout K] [--width W]\n"
                         "                   [--seed S] [--top NAME] --out FILE.v [--stubs CELLS.v]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char **argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        const std::string k = argv[i];
        if (i + 1 >= argc) usage();
        const char *v = argv[++i];
        if (k == "--mode") a.mode = v;
        else if (k == "--cells") a.cells = std::strtoull(v, nullptr, 10);
        else if (k == "--leaf") a.leaf = std::strtoull(v, nullptr, 10);
        else if (k == "--fanout") a.fanout = std::strtoull(v, nullptr, 10);
        else if (k == "--width") a.width = std::atoi(v);
        else if (k == "--seed") a.seed = std::strtoull(v, nullptr, 10);
        else if (k == "--top") a.top = v;
        else if (k == "--out") a.out = v;
        else if (k == "--stubs") a.stubs = v;
        else usage();
    }
    if (a.out.empty() || a.cells == 0 || a.leaf == 0 || a.fanout < 2 || a.width < 1 ||
        (a.mode != "reuse" && a.mode != "unique" && a.mode != "flat")) {
        usage();
    }
    g_rng = a.seed;
    Out o;
    o.f = std::fopen(a.out.c_str(), "w");
    if (o.f == nullptr) {
        std::perror(a.out.c_str());
        return 1;
    }
    static char buffer[1 << 20];
    std::setvbuf(o.f, buffer, _IOFBF, sizeof buffer);
    o.put("// generated by gen_verilog --mode " + a.mode + " --cells " + std::to_string(a.cells) + "\n");
    if (a.mode == "reuse") reuse(o, a);
    else if (a.mode == "unique") unique(o, a);
    else flat(o, a);
    if (std::fclose(o.f) != 0) {
        std::perror(a.out.c_str());
        return 1;
    }
    if (!a.stubs.empty()) writeStubs(a.stubs);
    std::fprintf(stderr, "gen_verilog: %s: %" PRIu64 " modules, %" PRIu64 " leaf cells, %" PRIu64 " bytes\n", a.out.c_str(),
                 g_modules, g_cells, o.bytes);
    return 0;
}
