// The session's compiler options: the option string that sets bits of the option word (and the
// first rule's host and compiler), the options line sent to a compiler, and the error function
// of the schematic compiler's messages.
//
// Keywords, the bit each sets and the switch the options line carries for it:
//
//   keyword                 bit       switch
//   lowercase, lower        0x1       -lowercase
//   uppercase, upper        0x2       -uppercase
//   parens                  0x4       -parens
//   brackets                0x8       -brackets
//   evalall                 0x10      -evalall
//   eval                    0x20      -eval
//   preserve_netconns       0x40      -preserve_netconns
//   generate_ports          0x80      -generate_ports
//   rsh HOST                0x100     -rsh HOST
//   comp PATH               0x200     -comp PATH
//   (none)                  0x400     -set SETVALUE
//   svcComp                 0x800     (none)
//   svc                     0x1000    -svc
//   no_hier_ref             0x2000    -no_hier_ref
//   preserve_case           0x4000    -preserve_case
//   timing_info             0x8000    (none)
//   portin_pintype_out      0x10000   (none)
//   case_sensitive          0x20000   (none)
//   hdl_sel_rules           0x40000   (none)
//   edif                    0x80000   (none)
//   descend_off             0x100000  (none)
//   normal                  clears the whole word
//   portin_pintype_in       changes nothing
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/compiler.h"
#include "utils/settings.h"

namespace {

using namespace nyxSettings;

struct Keyword {
    const char *name;
    uint32_t bit;
};

constexpr Keyword kKeywords[] = {
    {"lowercase", kLowerCase},
    {"lower", kLowerCase},
    {"uppercase", kUpperCase},
    {"upper", kUpperCase},
    {"parens", kParens},
    {"brackets", kBrackets},
    {"evalall", kEvalAll},
    {"eval", kEval},
    {"preserve_netconns", kPreserveNetConns},
    {"generate_ports", kGeneratePorts},
    {"rsh", kRemoteShell},
    {"comp", kCompilerPath},
    {"svcComp", kSuppressDirectoryScan},
    {"svc", kSchematicCompilerMode},
    {"no_hier_ref", kNoHierRef},
    {"preserve_case", kPreserveCase},
    {"timing_info", kTimingInfo},
    {"portin_pintype_out", kPortInPinTypeOut},
    {"case_sensitive", kCaseSensitiveNames},
    {"hdl_sel_rules", kHdlSelRules},
    {"edif", kEdif},
    {"descend_off", kDescendOff},
    {"normal", 0},
    {"portin_pintype_in", 0},
};

// Switches of the options line, in the order they are written.
struct Switch {
    uint32_t bit;
    const char *text;
};

constexpr Switch kSwitches[] = {
    {kEvalAll, "-evalall "},
    {kEval, "-eval "},
    {kPreserveNetConns, "-preserve_netconns "},
    {kGeneratePorts, "-generate_ports "},
    {kUpperCase, "-uppercase "},
    {kLowerCase, "-lowercase "},
    {kPreserveCase, "-preserve_case "},
    {kBrackets, "-brackets "},
    {kParens, "-parens "},
    {kSchematicCompilerMode, "-svc "},
    {kNoHierRef, "-no_hier_ref "},
};

const Keyword *findKeyword(const std::string &token) {
    if (token.empty() || token[0] != '-') return nullptr;
    for (const Keyword &k : kKeywords) {
        if (token.compare(1, std::string::npos, k.name) == 0) return &k;
    }
    return nullptr;
}

std::vector<std::string> tokensOf(const char *options) {
    std::vector<std::string> tokens;
    std::string_view text(options);
    size_t pos = 0;
    while ((pos = text.find_first_not_of(" \t", pos)) != std::string_view::npos) {
        size_t end = text.find_first_of(" \t", pos);
        if (end == std::string_view::npos) end = text.size();
        tokens.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    return tokens;
}

// A remote host name goes on the remote shell's command line: one that could be read as an
// option (leading "-") or that holds blanks or control characters is refused.
bool acceptableHost(const std::string &host) {
    if (host[0] == '-') return false;
    for (unsigned char c : host) {
        if (c <= ' ' || c == 0x7f) return false;
    }
    return true;
}

// The token as a diagnostic shows it: control characters as "?".
std::string printable(const std::string &token) {
    std::string out(token);
    for (char &c : out) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7f) c = '?';
    }
    return out;
}

void defaultErrorFunction(int32_t, const char *text) {
    std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
    std::fflush(stderr);
}

nyxCompilerIntf::ErrorFn g_errorFunction = defaultErrorFunction;

} // namespace

void nyxCompilerIntf::setCompilerOptions(const char *options, cfidrErrorT *err) {
    if (options == nullptr) return (void)(*err = cfidrErrBadName);
    std::vector<std::string> tokens = tokensOf(options);
    for (size_t k = 0; k < tokens.size(); ++k) {
        const std::string &token = tokens[k];
        const Keyword *keyword = findKeyword(token);
        if (keyword == nullptr) {
            std::fprintf(stderr, "\nERROR:   Unknown argument switch \"%s\"\n",
                         printable(token).c_str());
            *err = cfidrErrBadName;
            continue;
        }
        if (std::strcmp(keyword->name, "normal") == 0) {
            clearNameOptionBits(~uint32_t{0});
            continue;
        }
        if (keyword->bit == kRemoteShell) {
            if (k + 1 == tokens.size()) return setNameOptionBits(kRemoteShell);
            const std::string &host = tokens[++k];
            if (!acceptableHost(host)) {
                std::fprintf(stderr, "\nERROR:   Invalid remote host name \"%s\"\n",
                             printable(host).c_str());
                *err = cfidrErrBadName;
                continue;
            }
            setNameOptionBits(kRemoteShell);
            setHostname(host.c_str());
            continue;
        }
        setNameOptionBits(keyword->bit);
        if (keyword->bit == kCompilerPath) {
            if (k + 1 == tokens.size()) return;
            setCompiler(tokens[++k].c_str());
        }
    }
}

const std::string &nyxCompilerIntf::getCompilerOpts(std::string &buf) {
    const uint32_t word = nameOptions();
    for (const Switch &s : kSwitches) {
        if ((word & s.bit) != 0) buf += s.text;
    }
    if ((word & (kRemoteShell | kCompilerPath | kSendLocationMap)) == 0) return buf;
    // The values are the first rule's; a value that is missing is left out, its switch stays.
    const nyxCompilerRule *first = getCompilerList();
    auto value = [&](uint32_t bit, const char *name, const std::string *text) {
        if ((word & bit) == 0) return;
        buf += name;
        if (text != nullptr && !text->empty()) buf += *text + " ";
    };
    value(kRemoteShell, "-rsh ", first != nullptr ? &first->hostName : nullptr);
    value(kCompilerPath, "-comp ", first != nullptr ? &first->compiler : nullptr);
    value(kSendLocationMap, "-set ", first != nullptr ? &first->setValue : nullptr);
    return buf;
}

nyxCompilerIntf::ErrorFn nyxCompilerIntf::setErrorFunction(ErrorFn fn) {
    g_errorFunction = fn != nullptr ? fn : defaultErrorFunction;
    return fn;
}

void nyxCompilerIntf::reportError(int32_t code, const char *text) {
    g_errorFunction(code, text);
}
