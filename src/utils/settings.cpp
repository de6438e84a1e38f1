// Process-wide settings: option word, view version and fix switches.
#include "utils/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nyxSettings {

uint32_t g_viewVersion = 0;

namespace {

uint32_t g_nameOptions = 0;

// Remembered fix-switch answers: the defect number and whether it is disabled.
struct SwitchAnswer {
    unsigned long id;
    bool disabled;
};
constexpr int kRememberedSwitches = 100;
SwitchAnswer g_switches[kRememberedSwitches];
int g_switchCount = 0;

// Parses "123" or "DR123"; 0 for anything else (never disabled).
unsigned long parseSwitchId(const char *id) {
    if (id == nullptr) return 0;
    if (id[0] == 'D' && id[1] == 'R') id += 2;
    if (*id < '0' || *id > '9') return 0;
    char *end = nullptr;
    unsigned long value = std::strtoul(id, &end, 10);
    return *end == '\0' ? value : 0;
}

} // namespace

uint32_t nameOptions() { return g_nameOptions; }
void setNameOptionBits(uint32_t bits) { g_nameOptions |= bits; }
void clearNameOptionBits(uint32_t bits) { g_nameOptions &= ~bits; }

void setOptionsFromEnvironment() {
    if (std::getenv("ZIL_SVC_COMPILER") != nullptr) g_nameOptions |= kSchematicCompilerMode;
    if (std::getenv("ZIL_NYX_CASE_SENSITIVE") != nullptr) g_nameOptions |= kCaseSensitiveNames;
}

void setViewVersion(uint32_t value) { g_viewVersion = value; }
void viewChanged() { ++g_viewVersion; }

bool nyxDisableDR(const char *idText) {
    const unsigned long id = parseSwitchId(idText);
    if (id == 0) return false;
    for (int i = 0; i < g_switchCount; ++i) {
        if (g_switches[i].id == id) return g_switches[i].disabled;
    }
    if (g_switchCount == kRememberedSwitches) return false;
    char variable[48];
    char digits[24];
    std::snprintf(digits, sizeof digits, "%lu", id);
    std::snprintf(variable, sizeof variable, "NYX_DISABLE_DR%s", digits);
    const bool disabled = std::getenv(variable) != nullptr;
    if (disabled) std::fprintf(stderr, "nyxDR: DR%s has been DISABLED\n", digits);
    g_switches[g_switchCount++] = SwitchAnswer{id, disabled};
    return disabled;
}

bool nyxEnableDR(const char *id) { return !nyxDisableDR(id); }

bool nyxEnableDR(long id) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", id);
    return !nyxDisableDR(text);
}

} // namespace nyxSettings
