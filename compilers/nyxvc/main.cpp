// nyxvc: the structural Verilog compiler program. The library starts it with its standard input
// and output joined to the library; see session.h for the conversation.
#include <csignal>
#include <cstdio>

#include "session.h"

int main() {
    // A library that goes away mid-answer ends the program through a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    nyxvc::Session session(stdin, stdout);
    return session.run();
}
