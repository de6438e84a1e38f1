// textfile.h - the text-file layer shared by the line-oriented stored formats (selector sets,
// design configurations, occurrence property sets).
//
// What it mends, for every format that uses it:
//   - Lines of any length: a file is read whole (at most kMaxFile bytes) and split at newlines,
//     so a long name or value is neither cut nor read as a line of its own.
//   - Floats are written "%f" when that text reads back to the same 32-bit float, else "%.9g"
//     (which always does); readers take any decimal text.
//   - Every value type has a letter of its own; readers ignore letters they do not know:
//
//       letter  type (nyxPropValueType)   value text
//       B       boolean (1)               "%d", 1 or 0
//       I       integer (2)               "%d"
//       N       number (3)                formatFloat
//       S       string (5)                the text (quoted where the format quotes)
//       E       expression (9)            the text
//       T       triplet (7)               the text
//       C       case triplet (8)          the text
//       D       deleted (4)               none
//       U       none (0)                  none; read as nothing, as older files did
//
//   - Numbers are read with range checks: text that is not wholly a number, or out of range
//     (integers beyond 32 bits, floats beyond +-1e37, NaN, infinity) leaves the line without
//     effect.
//
// Quoting (formats that quote names and strings): a double quote, the text with each newline
// written as backslash-n and each double quote or backslash preceded by a backslash, a double
// quote. A text without those characters is written as it stands between the quotes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dm/prop/prop.h"

namespace nyxTextFile {

constexpr size_t kMaxFile = size_t{64} << 20;

// Reads a whole stored text file through the file layer: 0, or `cannotRead` when it cannot be
// opened or read (or is not a regular file), or 4 when it is larger than kMaxFile.
cfidrErrorT readWhole(const std::string &path, std::string &out, cfidrErrorT cannotRead);

// The lines of a text, each without its newline; a last line without a newline counts.
class Lines {
public:
    explicit Lines(std::string_view text) : d_text(text) {}
    bool next(std::string_view &line);

private:
    std::string_view d_text;
    size_t d_pos = 0;
};

// Tokens of a line: separated by blanks and tabs. A token that starts with a double quote runs to
// the closing quote (or the end of the line); inside it a backslash drops itself and keeps the
// next character, and backslash-n becomes a newline. Other tokens end at a blank or tab.
class Tokens {
public:
    explicit Tokens(std::string_view line) : d_line(line) {}
    // False (token cleared) when no token is left.
    bool next(std::string &token);

private:
    std::string_view d_line;
    size_t d_pos = 0;
};

void appendQuoted(std::string &out, std::string_view text);

// "%f" of the float when it reads back exactly, else "%.9g".
std::string formatFloat(float value);

// Whole-text conversions with range checks; false leaves value unchanged.
bool parseInt(std::string_view text, int32_t &value);
bool parseFloat(std::string_view text, float &value);

// The letter of a value type ('U' for none and unknown types).
char typeLetter(int32_t type);

// A value read from a file, ready to be stored.
struct Value {
    int32_t type = 0;
    int32_t intValue = 0;
    float floatValue = 0.0f;
    std::string text;
};

// The value of a letter and its text (already unquoted); false when the letter is unknown or
// the text is out of range, so that the line has no effect.
bool parseValue(char letter, std::string_view text, Value &value);

// Appends letter, and for types with a value a blank and the value (strings quoted when `quote`).
void appendValue(std::string &out, const nyxPropList *list, uint32_t index, bool quote);

// Stores a value in the entry (list, index) with the setters of the property room.
void setValue(nyxPropList *list, uint32_t index, const Value &value, cfidrErrorT *err);

// Creates a property named `name` carrying `value` on a list (as the readers of stored forms
// do, in the caller's mode). Returns the new entry's index, or -1 with the error.
int32_t createProperty(nyxPropList *&list, const nyxPropOwner &owner, const char *name,
                       const Value &value, cfidrErrorT *err);

} // namespace nyxTextFile
