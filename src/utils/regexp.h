// Regular expressions in the classic regexp(3) form, as the library map writes them.
//
// Syntax: ordinary characters match themselves; "." any character; "[abc]", "[a-z]" and "[^...]"
// bracket sets (a "]" or "-" first in the set, or "-" last, is literal; "\" is literal inside);
// "*", "+" and "?" after an atom; "^" and "$" the start and end of the subject; "(...)" groups,
// at most nine, numbered by their opening parenthesis; "|" alternation; "\c" the character c.
// An operand of "*" or "+" that could match the empty string, a repeated operator ("a**") and an
// operator with nothing before it are compile errors, as in the classic form.
//
// Matching finds the leftmost match and, at that position, prefers the first alternative and
// the longest repetition first, exactly like a backtracking matcher. It runs as a Pike machine
// over the compiled program: time O(|subject| * |program|), memory O(|program|), no recursion,
// so a hostile pattern cannot make it take exponential time or exhaust the stack.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class nyxRegexp {
public:
    static constexpr int kMaxSubexp = 10;         // group 0 is the whole match, 1..9 the groups
    static constexpr size_t kMaxProgram = 32767;  // instructions of a compiled expression

    // Compiles pattern. On failure returns null and stores the reason ("unmatched ()", "nested
    // *?+", ...) in *error when error is not null; the caller prints it as "regexp(3): %s\n".
    static std::unique_ptr<nyxRegexp> compile(const char *pattern, std::string *error);

    // Searches subject for the leftmost match. True when found; the match is then held (with a
    // copy of the subject) for start, end and substitute until the next exec.
    bool exec(const char *subject);

    // Byte offsets in the subject of group i (0: the whole match) of the held match; -1 when
    // there is no held match or group i took no part in it.
    long start(int i) const { return valid(i) ? caps_[2 * i] : -1; }
    long end(int i) const { return valid(i) ? caps_[2 * i + 1] : -1; }

    // Copies source to out with "&" and "\0" replaced by the whole held match and "\1".."\9" by
    // the groups ("" for a group that took no part); "\&" and "\\" give "&" and "\". False when no
    // match is held.
    bool substitute(const char *source, std::string &out) const;

private:
    friend class nyxRegexpCompiler;

    enum Op : uint8_t { Char, Any, Class, NotClass, Bol, Eol, Split, Jmp, Save, Match };
    struct Inst {
        Op op;
        uint8_t ch = 0;  // Char
        int32_t x = 0;   // Split (preferred), Jmp: target; Class, NotClass: set index; Save: slot
        int32_t y = 0;   // Split: the other target
    };
    using Caps = std::array<long, 2 * kMaxSubexp>;

    std::vector<Inst> program_;
    std::vector<std::array<uint64_t, 4>> sets_;

    bool valid(int i) const { return matched_ && i >= 0 && i < kMaxSubexp && caps_[2 * i] >= 0; }

    bool anchored_ = false;  // the program can only match at the start of the subject
    bool matched_ = false;
    Caps caps_{};
    std::string subject_;
};
