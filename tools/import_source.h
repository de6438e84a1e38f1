// The Verilog side of `nyx import`: which modules the files define and instantiate (enough to
// find the top and to count what the compiler made), the library's copy of the sources, and
// the way back from a line of that copy to the file and line it came from.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace nyxtool {

// Modules of a set of Verilog files, as a light scan sees them: each defined module with the
// names that begin its instance statements (keywords excluded). The scan reads comments,
// strings, attributes, escaped names and specify blocks correctly and nothing more: what the
// compiler refuses it need not understand.
struct VerilogModules {
    std::vector<std::string> order;                        // defined modules, in file order
    std::map<std::string, std::set<std::string>> uses;  // module -> the cells it instantiates

    bool defines(const std::string &name) const { return uses.count(name) != 0; }
    // The modules that no defined module instantiates, in file order.
    std::vector<std::string> roots() const;
    // `top` and every defined module below it.
    std::vector<std::string> below(const std::string &top) const;
};

// What the scan learns of a file besides its modules.
struct FileFacts {
    long lines = 0;  // lines, a last one without its line end included
    unsigned long long size = 0;
    bool endsWithNewline = false;
};

// Scans a file into `into`; false with the reason in `error`.
bool scanFile(const std::string &path, VerilogModules &into, FileFacts &facts, std::string &error);

// One input file's place in the library's copy: its lines start at `firstLine` (1-based).
struct SourcePart {
    std::string path;
    long firstLine = 1;
};

// Writes the files one after the other into `target` (each ends with a newline there), through
// a temporary file renamed into place; fills `parts`. False with the reason in `error`.
bool concatenate(const std::vector<std::string> &files, const std::vector<FileFacts> &facts,
                 const std::string &target, std::vector<SourcePart> &parts, std::string &error);

// Rewrites every "COPY:LINE" at the start of a line of `text` to "FILE:LINE" of the input it
// came from.
std::string mapLines(const std::string &text, const std::string &copy, const std::vector<SourcePart> &parts);

} // namespace nyxtool
