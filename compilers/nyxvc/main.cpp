// nyxvc: the structural Verilog compiler program. The library starts it with its standard input
// and output joined to the library; see session.h for the conversation.
//
// For measurements, `nyxvc --stats FILE.v [--stubs CELLS.v] [--top MODULE]` compiles a file
// without the library and prints on standard error the processor time of the compiler and of
// each stage, its peak memory, and then the time of the parser alone; the records are counted
// and dropped.
#include <ctime>
#include <csignal>
#include <malloc.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>

#include "compile.h"
#include "parser.h"
#include "session.h"
#include "source.h"

namespace {

// Processor time of this process: on a loaded machine, wall time says little about a stage.
double cpuNow() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

class CountingSink : public nyxvc::ByteSink {
public:
    bool write(std::string_view bytes) override {
        count += bytes.size();
        return true;
    }
    size_t count = 0;
};

int stats(int argc, char **argv) {
    std::string file, stubs, top;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--stubs") == 0 && i + 1 < argc) stubs = argv[++i];
        else if (std::strcmp(argv[i], "--top") == 0 && i + 1 < argc) top = argv[++i];
        else file = argv[i];
    }
    nyxvc::SourceFile source, stubSource;
    std::string error;
    if (!source.open(file, error) || (!stubs.empty() && !stubSource.open(stubs, error))) {
        std::fprintf(stderr, "nyxvc: %s\n", error.c_str());
        return 1;
    }
    nyxvc::Compilation c{nyxvc::Options()};
    // Modules are elaborated and their records written while the file is parsed: the first
    // figure holds all three stages but those of modules waiting for cells defined later. The
    // text of compiled modules is given back as in a session.
    double t0 = cpuNow();
    c.request("lib", top, "v", file);
    const auto parsed = [&source](size_t offset) { source.dropBefore(offset); };
    bool ok = (stubs.empty() || c.parseStubs(stubSource.text(), stubs)) && c.parse(source.text(), file, parsed);
    const double read = cpuNow() - t0;
    if (ok && top.empty() && !c.design().modules.empty()) {
        top = std::string(c.design().modules.back().name);
        c.request("lib", top, "v", file);
    }
    t0 = cpuNow();
    ok = ok && c.finish();
    const double finish = cpuNow() - t0;
    CountingSink sink;
    t0 = cpuNow();
    ok = ok && c.emit(sink);
    const double stream = cpuNow() - t0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    for (const std::string &m : c.diag().messages) std::fprintf(stderr, "%s\n", m.c_str());
    // Then the parser alone, over a model that keeps every module.
    nyxvc::Design design;
    nyxvc::Diagnostics diag;
    t0 = cpuNow();
    nyxvc::Parser p(source.text(), file, nyxvc::Options(), nyxvc::Limits(), diag, design);
    p.parse();
    const double parser = cpuNow() - t0;

    const double n = double(c.instanceCount() ? c.instanceCount() : 1);
    const double mb = double(source.text().size()) / 1e6;
    const double all = read + finish + stream;
    std::fprintf(stderr, "nyxvc: %s: %.1f MB, %zu modules, %zu instances\n", file.c_str(), mb,
                 c.design().modules.size(), c.instanceCount());
    std::fprintf(stderr, "  compile  %.3f s  %.0f MB/s  %.0f ns per instance, peak %.0f MB (the whole compiler)\n", all,
                 mb / all, all * 1e9 / n, double(usage.ru_maxrss) / 1024);
    std::fprintf(stderr, "    read   %.3f s  %.0f ns per instance (parse; elaborate and write modules as they are parsed)\n",
                 read, read * 1e9 / n);
    std::fprintf(stderr, "    finish %.3f s  %.0f ns per instance (modules waiting for cells defined later)\n", finish,
                 finish * 1e9 / n);
    std::fprintf(stderr, "    stream %.3f s  %.1f MB of records\n", stream, double(sink.count) / 1e6);
    std::fprintf(stderr, "  parser   %.3f s  %.0f MB/s  %.0f ns per instance (the parser alone, keeping every module)\n",
                 parser, mb / parser, parser * 1e9 / n);
    return ok ? 0 : 4;
}

} // namespace

int main(int argc, char **argv) {
    // Each module's model and tables are freed when its records are written, and the next
    // module allocates as much again: memory freed at the top of the heap stays there for it
    // instead of going back to the system and faulting in again.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    if (argc >= 2 && std::strcmp(argv[1], "--stats") == 0) return stats(argc, argv);
    // A library that goes away mid-answer ends the program through a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    nyxvc::Session session(stdin, stdout);
    return session.run();
}
