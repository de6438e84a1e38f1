// Process-wide settings shared by several subsystems: the view version counter, the option word
// and the numbered fix switches.
//
// These live for the process, not for one initialisation of the library: releasing the library
// neither resets the view version nor clears option bits, and a second initialisation sets the
// environment bits again without clearing any.
#pragma once

#include <cstdint>

namespace nyxSettings {

// Option bits of the option word.
constexpr uint32_t kSuppressDirectoryScan = 0x800;  // set while the schematic compiler opens a view
constexpr uint32_t kSchematicCompilerMode = 0x1000; // ZIL_SVC_COMPILER was set at initialisation
constexpr uint32_t kCaseSensitiveNames = 0x20000;   // ZIL_NYX_CASE_SENSITIVE was set at initialisation

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
uint32_t getViewVersion();
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

} // namespace nyxSettings
