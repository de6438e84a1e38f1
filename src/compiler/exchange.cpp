// exchange.cpp - one compilation: the command lines written to a compiler and the reading of its
// answer into views (compiler.h, "Exchange", holds the results).
//
// Commands, each ending in '\n', written at once and only after every check passed:
//
//   line                  when
//   #reset                always
//   #opts SWITCHES        the option word is non-zero (SWITCHES may be empty; each ends in a blank)
//   #param NAME T VALUE   one per session parameter with a non-empty name, in list order
//   #lib LIB, #cell CELL, #view VIEW
//
// Answer, text lines in any order (lines not starting with '#' are ignored):
//
//   line                  meaning
//   #s N                  status N (decimal, 32-bit; anything else is a bad status)
//   #m                    the lines up to "#endmsgs" go to standard error (end of data ends them)
//   #nonetlist            no view; the answer ends here
//   #n...                 the record stream follows this line's '\n' (nyxCompilerNetlist)
//
// The answer ends when the status, a message block and a netlist were all seen, at "#nonetlist",
// or at the end of the data. Whatever the compiler sends after that is stale: it is dropped, with
// one line on standard error, before the next exchange writes anything.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "compiler/netreader.h"
#include "compiler/process.h"
#include "compiler/stream.h"
#include "utils/settings.h"

namespace {

// Marks a process busy for the length of one exchange, so that a compile request reaching the
// same compiler from inside the reading fails instead of writing into the running answer.
class Busy {
public:
    explicit Busy(nyxCompilerProc *proc) : d_proc(proc) { proc->inExchange = true; }
    ~Busy() { d_proc->inExchange = false; }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    nyxCompilerProc *d_proc;
};

bool hasControl(const char *text) {
    for (; *text != '\0'; ++text)
        if (static_cast<unsigned char>(*text) < 0x20 || *text == 0x7f) return true;
    return false;
}

// The command lines of one compilation into out, or the refusal: 14 for a name (or the options
// line) holding a control character, the parameter lines' own refusal (14, 10).
cfidrErrorT buildCommands(std::string &out, const char *lib, const char *cell, const char *view,
                          bool encapsulated) {
    if (lib == nullptr || cell == nullptr || view == nullptr) return 14;
    if (hasControl(lib) || hasControl(cell) || hasControl(view)) return 14;
    out = "#reset\n";
    if (nyxSettings::nameOptions() != 0) {
        std::string switches;
        nyxCompilerIntf::getCompilerOpts(switches);
        if (hasControl(switches.c_str())) return 14;
        out += "#opts " + switches + "\n";
    }
    cfidrErrorT err = 0;
    nyxCompilerIntf::paramLines(out, encapsulated, &err);
    if (err != 0) return err;
    out += std::string("#lib ") + lib + "\n#cell " + cell + "\n#view " + view + "\n";
    return 0;
}

// Occurrence property sets of compilers whose view type names "tabo" or "zil" (any case) are
// marked as theirs.
bool fromTabo(const std::string &viewType) {
    std::string lower(viewType);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find("tabo") != std::string::npos || lower.find("zil") != std::string::npos;
}

bool knownCode(int32_t code) {
    return (code >= 0 && code <= 53) || (code >= 30001 && code <= 30012) ||
           (code >= 31001 && code <= 31014);
}

// "#s N": skip to the first blank, skip blanks, an optional sign and at least one digit; text
// after the digits is ignored. False for a missing or non-numeric number or one beyond 32 bits.
bool parseStatus(const std::string &line, int32_t *status) {
    size_t pos = line.find_first_of(" \t");
    if (pos == std::string::npos) return false;
    pos = line.find_first_not_of(" \t", pos);
    if (pos == std::string::npos) return false;
    bool negative = line[pos] == '-';
    if (line[pos] == '-' || line[pos] == '+') ++pos;
    if (pos >= line.size() || !std::isdigit(static_cast<unsigned char>(line[pos]))) return false;
    int64_t value = 0;
    for (; pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos])); ++pos) {
        value = value * 10 + (line[pos] - '0');
        if (value > int64_t(INT32_MAX) + 1) return false;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX || value < INT32_MIN) return false;
    *status = int32_t(value);
    return true;
}

// Copies a message block to standard error, up to its "#endmsgs" line or the end of the data.
void copyMessages(nyxCompilerStream &in) {
    std::string line;
    bool newline = false;
    while (in.readLine(line, &newline)) {
        if (line == "#endmsgs") return;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
}

// What an answer said.
struct Answer {
    bool statusSeen = false;
    bool statusBad = false;
    int32_t status = 0;
    bool netlistRead = false;  // a record stream was read whole
    bool noNetlist = false;    // "#nonetlist"
    bool failed = false;       // the stream or the records failed, or the data ended too early
    bool ended = false;        // the end of the data was reached
    nyxObjRef view;
};

void readAnswer(nyxCompilerStream &in, const nyxCompilerRule *rule, const char *lib,
                const char *cell, const char *view, Answer &a) {
    const int kAll = 7;
    int flags = 0;
    std::string line;
    bool newline = false;
    while (flags != kAll && in.readLine(line, &newline)) {
        if (line.size() < 2 || line[0] != '#') continue;
        if (line[1] == 's') {
            flags |= 1;
            a.statusSeen = true;
            a.statusBad = !parseStatus(line, &a.status);
        } else if (line[1] == 'm') {
            flags |= 2;
            copyMessages(in);
        } else if (line == "#nonetlist") {
            a.noNetlist = true;
            return;
        } else if (line[1] == 'n') {
            nyxCompilerNetlist reader(in, fromTabo(rule->viewType));
            if (reader.read() != 0 || !in.good()) {
                a.failed = true;
                return;
            }
            a.netlistRead = true;
            a.view = nyxCompilerNetlist::getView(lib, cell, view);
            flags |= 4;
        }
    }
    if (in.good()) return;
    a.ended = in.state() == nyxCompilerStream::kEnd;
    // The end of the data is the answer's end once the netlist (or its absence) was given.
    if (!a.ended || !(a.netlistRead || a.noNetlist)) a.failed = true;
}

// Results, netlist views: a view is 0; else the status when it is 0 (27: nothing found) or
// another number (4). Encapsulated views: a view is 0; a status that is a known error code is
// passed on, anything else (0 too) is 4. A failed answer, or one without a usable status, is 4.
cfidrErrorT resultOf(const Answer &a, bool encapsulated) {
    if (a.failed) return 4;
    if (a.view.obj != nullptr) return 0;
    if (!a.statusSeen || a.statusBad) return 4;
    if (encapsulated) return a.status != 0 && knownCode(a.status) ? a.status : 4;
    return a.status == 0 ? 27 : 4;
}

// The compiler "NONE": the answer is the data file itself, opened for this compilation only.
bool readDataFile(const char *dataPath, const nyxCompilerRule *rule, const char *lib,
                  const char *cell, const char *view, Answer &a) {
    if (dataPath == nullptr) return false;
    int fd = ::open(dataPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular) {
        nyxCompilerStream in(fd, 0);
        readAnswer(in, rule, lib, cell, view, a);
    }
    ::close(fd);
    return regular;
}

// A running compiler: drop stale bytes, write the commands, read the answer. A compiler whose
// answer went wrong in any way is killed and reaped, so that nothing it still sends reaches the
// next exchange; it starts again on its next use.
bool talkToProcess(nyxCompilerRule *rule, const std::string &commands, const char *lib,
                   const char *cell, const char *view, Answer &a) {
    nyxCompilerProc *proc = rule->proc;
    if (proc != nullptr && proc->inExchange) return false;
    if (nyxCompilerProcs::ensureRunning(rule) != 0) return false;
    proc = rule->proc;
    Busy busy(proc);
    nyxCompilerStream &in = *proc->stream;
    size_t stale = in.discardPending();
    if (stale != 0)
        std::fprintf(stderr, "NYX: %zu stale bytes from the compiler %s discarded\n", stale,
                     proc->path.c_str());
    if (!in.good() ||
        !nyxCompilerProcs::writeAll(proc, commands.data(), commands.size(),
                                    nyxCompilerProcs::timeoutSeconds())) {
        nyxCompilerProcs::kill(proc);
        return false;
    }
    try {
        readAnswer(in, rule, lib, cell, view, a);
    } catch (...) {
        a.failed = true;  // memory ran out: where the answer stands is unknown
    }
    if (a.failed || a.ended) nyxCompilerProcs::kill(proc);
    return true;
}

nyxObjRef compile(nyxCompilerRule *rule, const char *dataPath, const char *lib, const char *cell,
                  const char *view, cfidrErrorT *err, bool encapsulated) {
    cfidrErrorT local = 0;
    if (err == nullptr) err = &local;
    *err = 0;
    if (rule == nullptr) {
        *err = 4;
        return {};
    }
    Answer a;
    try {
        std::string commands;
        cfidrErrorT refused = buildCommands(commands, lib, cell, view, encapsulated);
        if (refused != 0) {
            *err = refused;
            return {};
        }
        nyxExpertModeGuard expert;  // for the whole reading of the answer
        bool answered = expert.pushed() &&
                        (rule->compiler == "NONE"
                             ? readDataFile(dataPath, rule, lib, cell, view, a)
                             : talkToProcess(rule, commands, lib, cell, view, a));
        if (!answered) a.failed = true;
    } catch (...) {
        a.failed = true;  // memory ran out
    }
    *err = resultOf(a, encapsulated);
    return *err == 0 ? a.view : nyxObjRef{};
}

} // namespace

nyxObjRef nyxCompilerIntf::compileNetlistView(nyxCompilerRule *rule, const char *dataPath,
                                              const char *lib, const char *cell, const char *view,
                                              cfidrErrorT *err) {
    return compile(rule, dataPath, lib, cell, view, err, false);
}

nyxObjRef nyxCompilerIntf::compileEncapsulatedView(nyxCompilerRule *rule, const char *dataPath,
                                                   const char *lib, const char *cell,
                                                   const char *view, cfidrErrorT *err) {
    return compile(rule, dataPath, lib, cell, view, err, true);
}
