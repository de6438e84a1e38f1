// A scriptable compiler for the tests: it speaks the command side of the compiler protocol on its
// standard input and answers with canned bytes, or misbehaves as told. Everything is chosen by
// environment variables, read at start (the child inherits the test's environment):
//
//   FAKE_LOG        file to which every command line received is appended, as received
//   FAKE_COUNT      file to which one line ("start <pid>") is appended per start
//   FAKE_REPLY_DIR  directory of answers: "#view NAME" is answered with the bytes of NAME.reply;
//                   without a file the answer is status 27, a message and "#nonetlist"
//   FAKE_MODE       how to misbehave (below); FAKE_MODE_FILE names a file whose content, read at
//                   every start, overrides it, so that a test can change the mode between starts
//
// Modes:
//   exit-at-start   exits with status 3 before reading anything
//   die-after-view  exits on "#view" without answering
//   die-mid-stream  sends the first half of its answer, then exits
//   hang            stops reading and answering on "#view" (and stays alive)
//   garbage         answers status 0 and a netlist that is not a record stream
//   absurd-length   answers a netlist whose first string claims 0x7fffffff bytes
//   stale-status    sends a further "#s 9" right after its answer
//   ignore-quit     ignores "#quit", the end of its input and SIGTERM
//   flood           sends 1 MiB of messages on "#reset", before reading the other commands
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string envOr(const char *name, const char *fallback) {
    const char *v = std::getenv(name);
    return v != nullptr ? v : fallback;
}

std::string readFile(const std::string &path, bool *found = nullptr) {
    std::ifstream in(path, std::ios::binary);
    if (found != nullptr) *found = bool(in);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void appendTo(const std::string &path, const std::string &text) {
    if (path.empty()) return;
    FILE *f = std::fopen(path.c_str(), "ab");
    if (f == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// One write for the whole answer, so that everything it holds (a stale status too) is in the
// pipe by the time the library has read the part it waits for.
void send(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
        if (n <= 0) std::_Exit(1);
        done += size_t(n);
    }
}

[[noreturn]] void stayForever() {
    for (;;) ::pause();
}

std::string netlistPrefix() { return "#s 0\n#m\n#endmsgs\n#netlist\n"; }

std::string answerFor(const std::string &view, const std::string &mode) {
    if (mode == "garbage") return netlistPrefix() + "not a record stream at all\n\x01\x02\x03";
    if (mode == "absurd-length") {
        std::string bytes = netlistPrefix() + "T";
        const unsigned char len[4] = {0xff, 0xff, 0xff, 0x7f};
        bytes.append(reinterpret_cast<const char *>(len), 4);
        return bytes + "some bytes after the length";
    }
    bool found = false;
    std::string reply = readFile(envOr("FAKE_REPLY_DIR", ".") + "/" + view + ".reply", &found);
    if (!found) reply = "#s 27\n#m\nno source for " + view + "\n#endmsgs\n#nonetlist\n";
    if (mode == "die-mid-stream") return reply.substr(0, reply.size() / 2);
    if (mode == "stale-status") reply += "#s 9\n";
    return reply;
}

} // namespace

int main() {
    std::string mode = envOr("FAKE_MODE", "");
    const std::string modeFile = envOr("FAKE_MODE_FILE", "");
    if (!modeFile.empty()) {
        bool found = false;
        std::string text = readFile(modeFile, &found);
        if (found) mode = text.substr(0, text.find_first_of(" \t\r\n"));
    }
    appendTo(envOr("FAKE_COUNT", ""), "start " + std::to_string(::getpid()) + "\n");
    if (mode == "exit-at-start") return 3;
    const bool ignoreQuit = mode == "ignore-quit";
    if (ignoreQuit) std::signal(SIGTERM, SIG_IGN);
    const std::string log = envOr("FAKE_LOG", "");

    char *line = nullptr;
    size_t capacity = 0;
    ssize_t len;
    bool quit = false;
    while (!quit && (len = ::getline(&line, &capacity, stdin)) > 0) {
        std::string text(line, size_t(len));
        appendTo(log, text);
        if (text == "#quit\n") {
            quit = !ignoreQuit;
            continue;
        }
        if (text == "#reset\n" && mode == "flood") {
            std::string block = "#m\n";
            const std::string message(127, 'x');
            while (block.size() < (1u << 20)) block += message + "\n";
            send(block + "#endmsgs\n");
        }
        if (text.rfind("#view ", 0) != 0) continue;
        if (mode == "die-after-view") break;
        if (mode == "hang") stayForever();
        const std::string view = text.substr(6, text.size() - 7);
        send(answerFor(view, mode));
        if (mode == "die-mid-stream") break;
    }
    std::free(line);
    if (ignoreQuit) stayForever();
    return 0;
}
