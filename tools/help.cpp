// The tool's help: `nyx help`, `nyx --help`, `nyx help COMMAND` and `nyx COMMAND --help`. The
// one-line usage and summary of each command come from its registration; the longer texts here
// say what it prints, its options and its exit status.
#include "help.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace nyxtool {

namespace {

struct Details {
    const char *name;
    const char *text;
};

// Per command: what it prints and its options, in the words a user reads.
const Details kDetails[] = {
    {"ls", "Lists the known libraries (search path ZIL_CFI_LIBPATH, and the current directory\n"
           "when ZIL_NYX_LIBRARYMAP is \".\"), the cells of library LIB, or the stored objects of\n"
           "cell CELL, one \"kind<TAB>name\" a line. Libraries are opened read-only.\n\n"
           "  --json   one JSON object: {\"libraries\": [names]}, {\"library\": LIB, \"cells\":\n"
           "           [names]} or {\"library\": LIB, \"cell\": CELL, \"entries\": [{\"kind\", \"name\"}]}\n"},
    {"stats", "Counts the objects of a netlist view (ports, nets, aliases, instances, describers,\n"
              "port instances, properties), one \"name<TAB>count\" a line in a fixed order.\n\n"
              "  --json   one JSON object of the same counts, keys in snake_case\n"},
    {"dump", "Prints a netlist view as text, one object a line, indented by nesting, in the view's\n"
             "own orders, so that two dumps compare with diff.\n\n"
             "  --json   one JSON object: view, properties, ports, nets and instances as nested\n"
             "           objects (see the tool's README section for the shape)\n"},
    {"hier", "Walks the hierarchy below a netlist view: every distinct view once, with the number\n"
             "of instances of each view it instantiates. Views that cannot be read are shown\n"
             "but not walked. Prints an indented tree by default.\n\n"
             "  --dot    Graphviz text: one node per distinct view, edges labelled with instance\n"
             "           counts (nyx hier LIB CELL VIEW --dot | dot -Tsvg > design.svg)\n"
             "  --json   {\"top\": node, \"views\": [{\"lib\", \"cell\", \"view\", \"readable\",\n"
             "           \"children\": [{\"lib\", \"cell\", \"view\", \"instances\"}]}]}\n"},
    {"eval", "Evaluates a property expression with the given names defined and prints the result\n"
             "and its kind, or the error text. A VALUE that reads as a whole number is an integer,\n"
             "another number a real, anything else a string.\n"},
    {"select", "Opens the stored selector set SET (its name goes through the library map like a\n"
               "library name) and prints the view it chooses for cell CELL of library LIB as\n"
               "\"kind<TAB>LIB CELL VIEW\" (kind \"netlist\" or \"encapsulated\"), or the error text.\n"},
    {"selectors", "Prints the stored selector set SET as text, one object a line: the set and its\n"
                  "properties, then its library selectors and its view selectors in their orders,\n"
                  "each followed by its properties.\n"},
    {"occprops", "Prints the occurrence property set SET of cell CELL of library LIB as text: the\n"
                 "set and its properties, then its tree indented by depth: the nets and ports of\n"
                 "the top view, then every view occurrence property (instance path) in pre-order\n"
                 "followed by its nets and ports, each with its pathname and its properties.\n"
                 "The library is opened read-only.\n\n"
                 "  --json   one JSON object: {\"lib\", \"cell\", \"set\", \"props\", \"nodes\":\n"
                 "           [{\"kind\", \"path\", \"member\" (ports), \"pathname\", \"props\"}]}\n"},
    {"errors", "Lists every error code of the interface with its text, one \"code<TAB>text\" a line.\n"},
    {"version", "Prints the release banner of the library.\n"},
    {"config", "Opens the design configuration NAME of cell CELL of library LIB (read-only) and\n"
               "prints it, one item a line: its root view as \"root LIB CELL VIEW\" (or the error\n"
               "when it cannot be found), its selection mode, its occurrence property sets in list\n"
               "order and its properties.\n\n"
               "  --json   {\"library\", \"cell\", \"name\", \"root\": {\"library\", \"cell\", \"view\"}\n"
               "           or null, \"selection_mode\", \"sets\": [names], \"properties\": [{\"name\",\n"
               "           \"type\", \"value\"}]}\n"},
    {"walk", "Opens the design configuration CONFIG of cell CELL of library LIB (read-only), builds\n"
             "its occurrence tree and prints the hierarchy in the order of the instance-occurrence\n"
             "iterator: \"top 3 LEVEL\", then one \"inst ID LEVEL PATHNAME\" line per instance\n"
             "occurrence (level 2 descended into, 4 a leaf).\n\n"
             "  --depth N  only instance occurrences at most N instances below the top\n"
             "  --nets     adds \"net ID PATHNAME\" lines: the top's nets first, then those of each\n"
             "             descended instance right after its line\n"},
    {"flat", "Opens the design configuration CONFIG of cell CELL of library LIB (read-only), builds\n"
             "its occurrence tree and prints every flat net, global ones first: \"global NAME\" or\n"
             "\"flat PATHNAME\" (the pathname of its representative, its outermost net occurrence),\n"
             "then one \"  net ID PATHNAME\" line per member net occurrence.\n\n"
             "  --pins   adds \"  pin ID PATHNAME\" lines: every port occurrence on the flat net, once\n"},
    {"prop", "Opens the design configuration CONFIG of cell CELL of library LIB (read-only), finds\n"
             "the occurrence PATH (its pathname; \".\" the top; a view occurrence, else a net, else a\n"
             "port occurrence) and prints the derived property NAME there, evaluated, as\n"
             "\"NAME TYPE VALUE\" (boolean, integer, float or string). The occurrence property sets of\n"
             "the configuration are searched first, then the stored design.\n"},
    {"open", "Opens view VIEW of cell CELL of library LIB as a design tool does: a stored view is\n"
             "read; a view with no stored file is compiled from the cell's files by the compiler\n"
             "rule of their view type. Prints a netlist view as nyx dump does, with the text it\n"
             "was compiled from; an encapsulated view as its view line, \"  key KEY\" and its\n"
             "properties. The library is opened read-only and nothing is written, unless:\n\n"
             "  --save   the library is opened for update and saved after the view is printed, so\n"
             "           that what the compilation made is stored (later opens read it)\n"},
    {"import", "Takes structural (gate-level) Verilog into library LIB (made when missing): the files,\n"
               "one after the other, become the source LIB/TOP/VIEW.v, LIB/nyxCompilers.rules names the\n"
               "Verilog compiler nyxvc (beside nyx, in the build tree, or on PATH), and opening the top\n"
               "view compiles every module below it into a cell with a netlist view; cells no file\n"
               "defines get a view holding their ports. Prints counts and times, \"name<TAB>value\".\n"
               "The compiler's messages name the input files and lines. A module whose cell holds a\n"
               "stored view of the name is refused; a failed import removes what it wrote.\n\n"
               "  --top MODULE   the top (default: the one module that no other instantiates)\n"
               "  --cells FILE   module headers of the leaf cells (else ports come from the named\n"
               "                 connections, with a warning)\n"
               "  --view NAME    the views' name (default netlist)\n"
               "  --config NAME  with --save, the design configuration of the top (default cfg)\n"
               "  --save         saves the library, so that later sessions read the stored views\n"},
};

const char kExitStatus[] =
    "Exit status: 0 success; 1 an error reported by the library (its code and text on the standard\n"
    "error stream); 2 a usage error. Results go to the standard output, messages to the standard\n"
    "error stream.\n";

const Command *find(const char *name) {
    for (const Command &c : commands()) {
        if (std::strcmp(c.name, name) == 0) return &c;
    }
    return nullptr;
}

} // namespace

void printOverview(FILE *out) {
    std::fprintf(out, "usage: nyx COMMAND [ARGS...]\n\n"
                      "Inspects design libraries stored by libnyx.\n\nCommands:\n");
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command &a, const Command &b) { return std::strcmp(a.name, b.name) < 0; });
    for (const Command &c : sorted) {
        std::string head = std::string(c.name) + (c.usage[0] != '\0' ? " " : "") + c.usage;
        std::fprintf(out, "  %-36s %s\n", head.c_str(), c.summary);
    }
    std::fprintf(out, "\n  %-36s %s\n  %-36s %s\n\n%s", "help COMMAND", "what a command prints and its options",
                 "--help", "this text", kExitStatus);
}

bool printCommandHelp(FILE *out, const char *name) {
    const Command *c = find(name);
    if (c == nullptr) return false;
    std::fprintf(out, "usage: nyx %s%s%s\n\n%s.\n", c->name, c->usage[0] != '\0' ? " " : "", c->usage, c->summary);
    for (const Details &d : kDetails) {
        if (std::strcmp(d.name, name) == 0) std::fprintf(out, "\n%s", d.text);
    }
    std::fprintf(out, "\n%s", kExitStatus);
    return true;
}

} // namespace nyxtool
