// decode.h - a strict decoder of the record stream for the compiler tests: it walks the grammar
// the library's reader follows and prints each record as one indented text line, so that a test
// compares a compilation with a golden text. Any byte the grammar does not allow ends the
// decoding with an "error: ..." line.
#pragma once

#include <string>
#include <string_view>

namespace nyxvctest {

// Decodes a stream that begins with 'T'; returns the text.
std::string decodeRecords(std::string_view bytes);

// Splits an answer into its text part (up to and including "#netlist\n" or "#nonetlist\n") and
// the binary stream after it.
void splitAnswer(std::string_view answer, std::string &text, std::string &binary);

} // namespace nyxvctest
