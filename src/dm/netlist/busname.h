// busname.h - splitting bus and group names, and reading the index list of a bus subscript.
//
// A bus name is a base followed by a subscript: "data(7:0)", "addr[3]", "q<0:3,8>". A group name
// is a braced list, optionally with a repeat count: "{a,b,c}", "x{a,b}*2". Before characters are
// classified "[" and "<" count as "(", "]" and ">" count as ")", and letters compare as upper
// case. Ports and nets read a bus's end index from its name with these functions; the tolerant
// port lookup compares bases.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nyxBusName {

enum Form : int32_t {
    kPlain = 0,        // no subscript
    kSubscript = 1,    // base followed by a balanced parenthesised subscript
    kGroup = 2,        // braced group, with or without a base
    kMoreOpening = 3,  // malformed: more opening than closing delimiters
    kMoreClosing = 4,  // malformed: more closing than opening delimiters
    kBadGroup = 5,     // malformed: ends like a group but holds none
};

struct Split {
    Form form = kPlain;
    std::string_view base;  // text before the subscript (a view into the split name)
    std::string subscript;  // form 1: the subscript without white space; form 2: the group text
};

// Splits `name` (null is a plain name). Nothing is allocated for a plain name.
Split split(const char *name);

// Whether a form is one of the malformed ones.
inline bool malformed(Form f) { return f >= kMoreOpening; }

// Reads an index list "(i)", "(i:j)", "(i:j,k,...)" (delimiters already folded or not) and stores
// its last index in written order in *end. False when the text is not such a list.
bool listEnd(std::string_view subscript, int32_t *end);

// The end index of a bus named `name`: split, then listEnd of the subscript. False (the caller's
// 14) when the name carries no index list.
bool busEnd(const char *name, int32_t *end);

// Letters compared as upper case.
bool equalNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view s, std::string_view prefix);

} // namespace nyxBusName
