// Process-wide settings shared by several subsystems: the view version counter, the option word
// and the numbered fix switches.
//
// These live for the process, not for one initialisation of the library: releasing the library
// neither resets the view version nor clears option bits, and a second initialisation sets the
// environment bits again without clearing any.
#pragma once

#include <cstdint>

namespace nyxSettings {

// Option bits of the option word. Each is also a compiler option, set by the keyword named in
// its comment; the bits the library itself consults say what they change here.
constexpr uint32_t kLowerCase = 0x1;                // "lowercase", "lower"
constexpr uint32_t kUpperCase = 0x2;                // "uppercase", "upper"
constexpr uint32_t kParens = 0x4;                   // "parens"
constexpr uint32_t kBrackets = 0x8;                 // "brackets"
constexpr uint32_t kEvalAll = 0x10;                 // "evalall"
constexpr uint32_t kEval = 0x20;                    // "eval"
constexpr uint32_t kPreserveNetConns = 0x40;        // "preserve_netconns"
constexpr uint32_t kGeneratePorts = 0x80;           // "generate_ports"
constexpr uint32_t kRemoteShell = 0x100;            // "rsh" and a host name
constexpr uint32_t kCompilerPath = 0x200;           // "comp" and a compiler path
constexpr uint32_t kSendLocationMap = 0x400;        // no keyword: "-set" and the location map
// "svcComp"; set while the schematic compiler opens a view: no cell directory scan, and an
// undefined port direction reads as input-output.
constexpr uint32_t kSuppressDirectoryScan = 0x800;
constexpr uint32_t kSchematicCompilerMode = 0x1000; // "svc"; ZIL_SVC_COMPILER at initialisation
constexpr uint32_t kNoHierRef = 0x2000;             // "no_hier_ref"
constexpr uint32_t kPreserveCase = 0x4000;          // "preserve_case"
constexpr uint32_t kTimingInfo = 0x8000;            // "timing_info"
constexpr uint32_t kPortInPinTypeOut = 0x10000;     // "portin_pintype_out"
constexpr uint32_t kCaseSensitiveNames = 0x20000;   // "case_sensitive"; ZIL_NYX_CASE_SENSITIVE
// "hdl_sel_rules"; creating a net alias returns an alias of exactly that name the net has.
constexpr uint32_t kHdlSelRules = 0x40000;
constexpr uint32_t kEdif = 0x80000;                 // "edif"; netlist views may be renamed
constexpr uint32_t kDescendOff = 0x100000;          // "descend_off"

// The option word (d_NameOptions).
uint32_t nameOptions();
void setNameOptionBits(uint32_t bits);
void clearNameOptionBits(uint32_t bits);
inline bool hasNameOption(uint32_t bit) { return (nameOptions() & bit) != 0; }

// Sets the option bits that the environment selects; only whether a variable is set matters, not
// its value. Called at the end of every initialisation of the library.
void setOptionsFromEnvironment();

// Count of edits to netlist view contents. A structure derived from views records the value at
// which it was built and rebuilds itself when the value has moved on.
extern uint32_t g_viewVersion;  // read through getViewVersion: steps of walks compare it
inline uint32_t getViewVersion() { return g_viewVersion; }
void setViewVersion(uint32_t value);
void viewChanged();

// Fix switches. A guarded behaviour asks nyxEnableDR with its defect number ("119985" or
// "DR119985"); it is on unless the environment variable NYX_DISABLE_DR<number> is set, which
// the first query reports on standard error. Answers for up to 100 numbers are remembered;
// further numbers are not remembered and count as enabled. Number 0 (or text that is not a
// number) is never disabled.
bool nyxEnableDR(const char *id);
bool nyxEnableDR(long id);
bool nyxDisableDR(const char *id);

// The fix switches, by defect number.
// Occurrence property sets and design configurations by name: an exact match among those a cell
// already knows is taken before the cell is read.
constexpr long kFixExactSetNameFirst = 119985;
// Describer records read from a view file: a tab in the stored view name reads as "/" and a
// newline as ".", as in the names of created views.
constexpr long kFixStoredDescriberName = 124407;
// Flat nets: the representative among joined nets of a view is the smallest name with letters
// folded to lower case first (exact bytes alone when disabled).
constexpr long kFixRepresentativeByName = 129092;

} // namespace nyxSettings
