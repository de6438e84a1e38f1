// Compiler and Pike-machine matcher for classic regexp(3) expressions (syntax in regexp.h).
//
// The compiler parses by recursive descent; recursion depth is bounded by the nesting of
// parentheses, and every "(" opens a numbered group, of which there are at most nine, so the
// depth is at most ten. Code shapes (L: labels; Split prefers its first target):
//
//   e*      L1: Split L2, L3   L2: e   Jmp L1   L3:
//   e+      L1: e   Split L1, L2   L2:
//   e?      Split L1, L2   L1: e   L2:
//   a|b|c   Split L1, L2  L1: a  Jmp E   L2: Split L3, L4  L3: b  Jmp E   L4: c   E:
//   (e)     Save 2n   e   Save 2n+1
#include "utils/regexp.h"

#include <cstring>

namespace {

constexpr int kHasWidth = 1;  // the piece cannot match the empty string

}  // namespace

class nyxRegexpCompiler {
public:
    nyxRegexpCompiler(const char *pattern, nyxRegexp &re) : p_(pattern), re_(re) {}

    bool run(std::string &error) {
        int flags = 0;
        if (!alternation(false, flags)) {
            error = error_;
            return false;
        }
        if (*p_ != '\0') {
            error = *p_ == ')' ? "unmatched ()" : "junk on end";
            return false;
        }
        if (!emit({nyxRegexp::Match})) {
            error = error_;
            return false;
        }
        return true;
    }

private:
    using Inst = nyxRegexp::Inst;

    bool fail(const char *message) {
        error_ = message;
        return false;
    }

    bool emit(Inst inst) {
        if (re_.program_.size() >= nyxRegexp::kMaxProgram) return fail("regexp too big");
        re_.program_.push_back(inst);
        return true;
    }

    int32_t here() const { return static_cast<int32_t>(re_.program_.size()); }

    // Inserts an instruction at position at, moving the code after it (and jumps into it) by one.
    bool insert(int32_t at, Inst inst) {
        if (re_.program_.size() >= nyxRegexp::kMaxProgram) return fail("regexp too big");
        for (size_t k = static_cast<size_t>(at); k < re_.program_.size(); ++k) {
            Inst &i = re_.program_[k];
            if (i.op == nyxRegexp::Split || i.op == nyxRegexp::Jmp) {
                if (i.x >= at) ++i.x;
                if (i.op == nyxRegexp::Split && i.y >= at) ++i.y;
            }
        }
        re_.program_.insert(re_.program_.begin() + at, inst);
        return true;
    }

    // Branches separated by "|"; inside a group when paren is true.
    bool alternation(bool paren, int &flags) {
        flags = kHasWidth;
        std::vector<int32_t> exits;  // Jmp instructions to patch to the end
        for (;;) {
            int32_t start = here();
            int branchFlags = 0;
            if (!branch(branchFlags)) return false;
            if (!(branchFlags & kHasWidth)) flags &= ~kHasWidth;
            if (*p_ != '|') break;
            ++p_;
            // This branch is preferred over everything that follows it.
            if (!insert(start, {nyxRegexp::Split, 0, start + 1, 0})) return false;
            for (int32_t &e : exits)
                if (e >= start) ++e;
            exits.push_back(here());
            if (!emit({nyxRegexp::Jmp})) return false;
            re_.program_[static_cast<size_t>(start)].y = here();
        }
        for (int32_t e : exits) re_.program_[static_cast<size_t>(e)].x = here();
        if (paren && *p_ != ')') return fail("unmatched ()");
        return true;
    }

    bool branch(int &flags) {
        flags = 0;
        while (*p_ != '\0' && *p_ != '|' && *p_ != ')') {
            int pieceFlags = 0;
            if (!piece(pieceFlags)) return false;
            flags |= pieceFlags & kHasWidth;
        }
        return true;
    }

    static bool isMult(char c) { return c == '*' || c == '+' || c == '?'; }

    bool piece(int &flags) {
        int32_t start = here();
        int atomFlags = 0;
        if (!atom(atomFlags)) return false;
        char op = *p_;
        if (!isMult(op)) {
            flags = atomFlags;
            return true;
        }
        if (!(atomFlags & kHasWidth) && op != '?') return fail("*+ operand could be empty");
        flags = op == '+' ? kHasWidth : 0;
        ++p_;
        if (op == '*') {
            if (!insert(start, {nyxRegexp::Split, 0, start + 1, 0})) return false;
            if (!emit({nyxRegexp::Jmp, 0, start, 0})) return false;
            re_.program_[static_cast<size_t>(start)].y = here();
        } else if (op == '+') {
            if (!emit({nyxRegexp::Split, 0, start, here() + 1})) return false;
        } else {
            if (!insert(start, {nyxRegexp::Split, 0, start + 1, 0})) return false;
            re_.program_[static_cast<size_t>(start)].y = here();
        }
        if (isMult(*p_)) return fail("nested *?+");
        return true;
    }

    bool atom(int &flags) {
        flags = 0;
        char c = *p_++;
        switch (c) {
        case '^':
            return emit({nyxRegexp::Bol});
        case '$':
            return emit({nyxRegexp::Eol});
        case '.':
            flags = kHasWidth;
            return emit({nyxRegexp::Any});
        case '[':
            flags = kHasWidth;
            return bracket();
        case '(': {
            if (groups_ >= nyxRegexp::kMaxSubexp) return fail("too many ()");
            int32_t n = groups_++;
            if (!emit({nyxRegexp::Save, 0, 2 * n, 0})) return false;
            if (!alternation(true, flags)) return false;
            ++p_;  // the ")" that alternation found
            return emit({nyxRegexp::Save, 0, 2 * n + 1, 0});
        }
        case '?':
        case '+':
        case '*':
            return fail("?+* follows nothing");
        case '\\':
            if (*p_ == '\0') return fail("trailing \\");
            c = *p_++;
            break;
        default:
            break;
        }
        flags = kHasWidth;
        return emit({nyxRegexp::Char, static_cast<uint8_t>(c), 0, 0});
    }

    bool bracket() {
        std::array<uint64_t, 4> set{};
        auto add = [&set](unsigned char ch) { set[ch >> 6] |= uint64_t{1} << (ch & 63); };
        bool negate = false;
        if (*p_ == '^') {
            negate = true;
            ++p_;
        }
        if (*p_ == ']' || *p_ == '-') add(static_cast<unsigned char>(*p_++));
        while (*p_ != '\0' && *p_ != ']') {
            if (*p_ == '-') {
                ++p_;
                if (*p_ == ']' || *p_ == '\0') {
                    add('-');
                } else {
                    // The range starts after the character before "-", which is already in.
                    int from = static_cast<unsigned char>(p_[-2]) + 1;
                    int to = static_cast<unsigned char>(*p_);
                    if (from > to + 1) return fail("invalid [] range");
                    for (; from <= to; ++from) add(static_cast<unsigned char>(from));
                    ++p_;
                }
            } else {
                add(static_cast<unsigned char>(*p_++));
            }
        }
        if (*p_ != ']') return fail("unmatched []");
        ++p_;
        // The end of the subject is never a member, not even of a negated set.
        re_.sets_.push_back(set);
        int32_t index = static_cast<int32_t>(re_.sets_.size() - 1);
        return emit({negate ? nyxRegexp::NotClass : nyxRegexp::Class, 0, index, 0});
    }

    const char *p_;
    nyxRegexp &re_;
    int groups_ = 1;  // group 0 is the whole match
    const char *error_ = "";
};

std::unique_ptr<nyxRegexp> nyxRegexp::compile(const char *pattern, std::string *error) {
    if (pattern == nullptr) {
        if (error != nullptr) *error = "NULL argument";
        return nullptr;
    }
    auto re = std::make_unique<nyxRegexp>();
    re->program_.push_back({Save, 0, 0, 0});
    nyxRegexpCompiler compiler(pattern, *re);
    std::string message;
    if (!compiler.run(message)) {
        if (error != nullptr) *error = message;
        return nullptr;
    }
    // Save 1 before Match records the end of the whole match.
    re->program_.back() = {Save, 0, 1, 0};
    re->program_.push_back({Match});
    re->anchored_ = re->program_.size() > 1 && re->program_[1].op == Bol;
    return re;
}

bool nyxRegexp::exec(const char *subject) {
    struct Thread {
        int32_t pc;
        Caps caps;
    };
    matched_ = false;
    caps_.fill(-1);
    if (subject == nullptr) return false;
    subject_ = subject;
    const long n = static_cast<long>(subject_.size());
    const unsigned char *s = reinterpret_cast<const unsigned char *>(subject_.data());
    const size_t size = program_.size();

    std::vector<Thread> clist, nlist, stack;  // each holds at most one thread per instruction
    std::vector<long> mark(size, -1);  // mark[pc] == position + 1 when pc is in that position's list

    // Follows the empty moves from t at position pos, adding the threads that wait for a
    // character (or match) to list in priority order. Explicit stack: no recursion.
    auto addThread = [&](std::vector<Thread> &list, Thread t, long pos) {
        stack.clear();
        stack.push_back(t);
        while (!stack.empty()) {
            Thread cur = stack.back();
            stack.pop_back();
            for (;;) {
                size_t pc = static_cast<size_t>(cur.pc);
                if (mark[pc] == pos + 1) break;
                mark[pc] = pos + 1;
                const Inst &inst = program_[pc];
                if (inst.op == Jmp) {
                    cur.pc = inst.x;
                } else if (inst.op == Split) {
                    Thread other = cur;
                    other.pc = inst.y;
                    stack.push_back(other);
                    cur.pc = inst.x;
                } else if (inst.op == Save) {
                    cur.caps[static_cast<size_t>(inst.x)] = pos;
                    ++cur.pc;
                } else if (inst.op == Bol) {
                    if (pos != 0) break;
                    ++cur.pc;
                } else if (inst.op == Eol) {
                    if (pos != n) break;
                    ++cur.pc;
                } else {
                    list.push_back(cur);
                    break;
                }
            }
        }
    };

    auto inSet = [this](int32_t index, unsigned char ch) {
        const std::array<uint64_t, 4> &set = sets_[static_cast<size_t>(index)];
        return (set[ch >> 6] >> (ch & 63)) & 1;
    };

    Thread start{0, {}};
    start.caps.fill(-1);
    for (long pos = 0; pos <= n; ++pos) {
        if (!matched_ && (pos == 0 || !anchored_)) addThread(clist, start, pos);
        if (clist.empty()) {
            if (matched_ || anchored_) break;
            continue;
        }
        nlist.clear();
        for (const Thread &t : clist) {
            const Inst &inst = program_[static_cast<size_t>(t.pc)];
            bool advance = false;
            if (inst.op == Match) {
                matched_ = true;
                caps_ = t.caps;
                break;  // threads after this one have lower priority
            }
            if (pos < n) {
                unsigned char ch = s[pos];
                switch (inst.op) {
                case Char: advance = ch == inst.ch; break;
                case Any: advance = true; break;
                case Class: advance = inSet(inst.x, ch); break;
                case NotClass: advance = !inSet(inst.x, ch); break;
                default: break;
                }
            }
            if (advance) addThread(nlist, Thread{t.pc + 1, t.caps}, pos + 1);
        }
        clist.swap(nlist);
        nlist.clear();
    }
    if (!matched_) caps_.fill(-1);
    return matched_;
}

bool nyxRegexp::substitute(const char *source, std::string &out) const {
    out.clear();
    if (!matched_ || source == nullptr) return false;
    for (const char *p = source; *p != '\0';) {
        char c = *p++;
        int group = -1;
        if (c == '&') {
            group = 0;
        } else if (c == '\\' && *p >= '0' && *p <= '9') {
            group = *p++ - '0';
        }
        if (group < 0) {
            if (c == '\\' && (*p == '\\' || *p == '&')) c = *p++;
            out += c;
        } else if (valid(group)) {
            out.append(subject_, static_cast<size_t>(caps_[2 * group]),
                       static_cast<size_t>(caps_[2 * group + 1] - caps_[2 * group]));
        }
    }
    return true;
}
