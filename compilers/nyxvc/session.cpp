// The command loop, the search for the source file, and the text answer.
#include "session.h"

#include <unistd.h>

#include "compile.h"
#include "source.h"

namespace nyxvc {

namespace {

const std::vector<std::string> kDefaultExts = {"v", "vg", "verilog"};

bool startsWith(const std::string &s, const char *prefix, std::string &rest) {
    const size_t n = std::char_traits<char>::length(prefix);
    if (s.compare(0, n, prefix) != 0) return false;
    rest = s.substr(n);
    return true;
}

std::vector<std::string> words(const std::string &s, const char *separators) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        const size_t b = s.find_first_not_of(separators, i);
        if (b == std::string::npos) break;
        const size_t e = s.find_first_of(separators, b);
        out.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
        i = e == std::string::npos ? s.size() : e;
    }
    return out;
}

// A message line the library copies as it stands: no line breaks, shorter than its 1024-byte
// line buffer, and never taken for the end of the block.
std::string messageLine(const std::string &m) {
    std::string out = m.substr(0, 1000);
    for (char &c : out) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    if (!out.empty() && out[0] == '#') out.insert(0, " ");
    return out;
}

bool readLine(std::FILE *in, std::string &line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') return true;
        line += static_cast<char>(c);
    }
    return !line.empty();
}

} // namespace

std::string Session::encodeName(const std::string &name) {
    if (name == ".") return "\n";
    if (name == "..") return "\n\n";
    std::string out = name;
    for (char &c : out) {
        if (c == '/' || c == '\\') c = '\t';
    }
    return out;
}

std::string Session::locate(const std::string &lib, const std::string &cell, const std::string &view,
                            const std::vector<std::string> &exts, std::string &tried) {
    std::vector<std::string> libDirs;
    if (!lib.empty() && lib[0] == '/') {
        libDirs.push_back(lib);
    } else {
        // The working directory the library gave us (not $PWD, which a process that changed
        // directory without updating it leaves stale): relative library paths resolve there.
        std::string cwd;
        char buf[4096];
        if (getcwd(buf, sizeof buf) != nullptr) cwd = buf;
        libDirs.push_back(cwd + "/" + lib);
        // A relative name holding "/" may also stand for one directory of the current one.
        if (encodeName(lib) != lib) libDirs.push_back(cwd + "/" + encodeName(lib));
    }
    tried.clear();
    for (const std::string &dir : libDirs) {
        const std::string base = dir + "/" + encodeName(cell) + "/" + encodeName(view) + ".";
        for (const std::string &ext : exts) {
            if (fileExists(base + ext)) return base + ext;
        }
        if (!tried.empty()) tried += ", ";
        tried += base + "{";
        for (size_t i = 0; i < exts.size(); ++i) tried += (i ? "," : "") + exts[i];
        tried += "}";
    }
    return std::string();
}

void Session::reset() {
    opts_ = Options();
    lib_.clear();
    cell_.clear();
    stubPath_.clear();
    exts_ = kDefaultExts;
}

// Switches of the options line; those with a value (-rsh, -comp, -set) take the next word.
void Session::options(const std::string &switches) {
    const std::vector<std::string> w = words(switches, " \t");
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] == "-lowercase") opts_.nameCase = NameCase::Lower;
        else if (w[i] == "-uppercase") opts_.nameCase = NameCase::Upper;
        else if (w[i] == "-preserve_case") opts_.nameCase = NameCase::Preserve;
        else if (w[i] == "-brackets") opts_.parens = false;
        else if (w[i] == "-parens") opts_.parens = true;
        else if (w[i] == "-rsh" || w[i] == "-comp" || w[i] == "-set") ++i;
    }
}

// #param <name> <type> <value>: the value of a string is the rest of the line.
void Session::param(const std::string &rest) {
    const size_t nameEnd = rest.find(' ');
    if (nameEnd == std::string::npos || nameEnd + 2 > rest.size()) return;
    const std::string name = rest.substr(0, nameEnd);
    if (rest[nameEnd + 1] != 's') return;
    const std::string value = nameEnd + 3 <= rest.size() ? rest.substr(nameEnd + 3) : std::string();
    if (name == "nyxvc_lib") stubPath_ = value;
    if (name == "nyxvc_ext") {
        exts_ = words(value, " \t,");
        if (exts_.empty()) exts_ = kDefaultExts;
    }
}

bool Session::answer(const std::string &view) {
    Compilation c(opts_);
    Diagnostics &diag = c.diag();
    int status = 0;
    std::string tried;
    const std::string path = locate(lib_, cell_, view, exts_, tried);
    // Without the parameter, the stub file kept beside the source as VIEW.stubs (nyx import
    // leaves its copy there), so that a later session compiles the view as the import did.
    std::string stubPath = stubPath_;
    if (stubPath.empty() && !path.empty()) {
        const std::string beside = path.substr(0, path.rfind('/') + 1) + encodeName(view) + ".stubs";
        if (fileExists(beside)) stubPath = beside;
    }
    SourceFile source, stubs;
    std::string error;
    if (path.empty()) {
        diag.error("nyxvc", 0, "no source for " + lib_ + "/" + cell_ + "/" + view + " (looked for " + tried + ")");
        status = 27;
    } else if (!source.open(path, error)) {
        diag.error(path, 0, "cannot read: " + error);
        status = 27;
    } else if (!stubPath.empty() && !stubs.open(stubPath, error)) {
        diag.error(stubPath, 0, "cannot read the stub file: " + error);
        status = 4;
    } else {
        c.request(lib_, cell_, view, path);
        // The text of modules already compiled is given back as the parse goes on.
        const auto parsed = [&source](size_t offset) { source.dropBefore(offset); };
        if ((!stubPath.empty() && !c.parseStubs(stubs.text(), stubPath)) || !c.parse(source.text(), path, parsed) ||
            !c.finish()) {
            status = 4;
        }
    }
    std::string head = "#m\n";
    for (const std::string &m : diag.messages) head += messageLine(m) + "\n";
    head += "#endmsgs\n#s " + std::to_string(status) + "\n";
    head += status == 0 ? "#netlist\n" : "#nonetlist\n";
    if (std::fwrite(head.data(), 1, head.size(), out_) != head.size()) return false;
    if (status == 0) {
        FileSink sink(out_);
        if (!c.emit(sink)) return false;
    }
    return std::fflush(out_) == 0;
}

int Session::run() {
    reset();
    std::string line, rest;
    while (readLine(in_, line)) {
        if (line.empty() || line[0] != '#') continue;
        if (line == "#quit") return 0;
        if (line == "#reset") {
            reset();
        } else if (startsWith(line, "#opts", rest)) {
            options(rest);
        } else if (startsWith(line, "#param ", rest)) {
            param(rest);
        } else if (startsWith(line, "#lib ", rest)) {
            lib_ = rest;
        } else if (startsWith(line, "#cell ", rest)) {
            cell_ = rest;
        } else if (startsWith(line, "#view ", rest)) {
            if (!answer(rest)) return 1;
        }
    }
    return 0;
}

} // namespace nyxvc
