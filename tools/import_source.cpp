// The Verilog side of `nyx import` (see import_source.h).
#include "import_source.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <string_view>
#include <unordered_set>
#include <sys/stat.h>
#include <unistd.h>

namespace nyxtool {
namespace {

bool identStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool identChar(unsigned char c) { return identStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Words that begin a statement of a module body other than an instance.
const std::unordered_set<std::string_view> &keywords() {
    static const std::unordered_set<std::string_view> words = {
        "input", "output", "inout", "wire", "reg", "tri", "tri0", "tri1", "triand", "trior", "trireg",
        "wand", "wor", "supply0", "supply1", "uwire", "assign", "defparam", "parameter", "localparam",
        "integer", "real", "time", "genvar", "generate", "endgenerate", "always", "initial", "function",
        "task", "begin", "end", "specparam", "event", "signed", "logic"};
    return words;
}

// Every keyword begins with a lower-case letter: most cell names are told apart without a search.
bool isKeyword(std::string_view word) {
    return !word.empty() && word[0] >= 'a' && word[0] <= 'z' && keywords().count(word) != 0;
}

// A token stream over the text: identifiers (escaped ones without their backslash), and single
// punctuation characters; comments, strings, numbers and directives are passed over.
class Scanner {
public:
    // A piece of text that ends at a line end (or the file's end); a block comment may go on
    // into the next piece.
    void feed(const char *text, size_t size) {
        p_ = text;
        end_ = text + size;
        if (inComment_) skipPast("*/");
    }

    // The next token: an identifier (ident true) or one character, inside the piece; false at
    // the piece's end.
    bool next(std::string_view &tok, bool &ident) {
        for (;;) {
            while (p_ < end_ && blank(static_cast<unsigned char>(*p_))) ++p_;
            if (p_ >= end_) return false;
            const char c = *p_;
            if (c == '/' && p_ + 1 < end_ && p_[1] == '/') {
                skipPast("\n");
            } else if (c == '/' && p_ + 1 < end_ && p_[1] == '*') {
                p_ += 2;
                skipPast("*/");
            } else if (c == '"') {
                ++p_;
                while (p_ < end_ && *p_ != '"' && *p_ != '\n') p_ += (*p_ == '\\' && p_ + 1 < end_) ? 2 : 1;
                if (p_ < end_) ++p_;
            } else if (c == '`' || c == '\'' || (c >= '0' && c <= '9')) {
                ++p_;  // directives, based and plain numbers: never a module or cell name
                while (p_ < end_ && identChar(static_cast<unsigned char>(*p_))) ++p_;
            } else if (c == '\\') {
                const char *start = ++p_;
                while (p_ < end_ && !blank(static_cast<unsigned char>(*p_))) ++p_;
                tok = std::string_view(start, size_t(p_ - start));
                return ident = true;
            } else if (identStart(static_cast<unsigned char>(c))) {
                const char *start = p_;
                while (p_ < end_ && identChar(static_cast<unsigned char>(*p_))) ++p_;
                tok = std::string_view(start, size_t(p_ - start));
                return ident = true;
            } else {
                tok = std::string_view(p_++, 1);
                ident = false;
                return true;
            }
        }
    }

    // Passes over the rest of a statement: true after its ";", false at the piece's end. Only
    // comments, strings and escaped names can hide a ";", so nothing else is looked at. Most
    // statements hold none of them: the ";" is found by memchr and the bytes before it are
    // checked at once; the byte-by-byte walk takes over only when one of them is there.
    bool skipStatement() {
        while (p_ < end_) {
            const char *semi = static_cast<const char *>(std::memchr(p_, ';', static_cast<size_t>(end_ - p_)));
            const char *stop = semi != nullptr ? semi : end_;
            if (!mayHide(p_, stop)) {
                p_ = semi != nullptr ? semi + 1 : end_;
                return semi != nullptr;
            }
            if (slowStep()) return true;
        }
        return false;
    }

private:
    // Whether [p, end) holds a byte that may start a comment, a string or an escaped name ('/',
    // '"', '\\'), eight bytes at a time: a byte of x is zero exactly where the text has the byte
    // looked for, and (x - ones) & ~x & highs is non-zero exactly when x has a zero byte.
    static bool mayHide(const char *p, const char *end) {
        constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
        const auto zeroByte = [](uint64_t x) { return ((x - ones) & ~x & highs) != 0; };
        for (; end - p >= 8; p += 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            if (zeroByte(w ^ ('/' * ones)) || zeroByte(w ^ ('"' * ones)) || zeroByte(w ^ ('\\' * ones))) return true;
        }
        for (; p < end; ++p) {
            if (*p == '/' || *p == '"' || *p == '\\') return true;
        }
        return false;
    }

    // One step of the walk over a statement, up to and including the first thing that may hide
    // a ";": true when the statement's ";" was passed.
    bool slowStep() {
        while (p_ < end_) {
            const char c = *p_++;
            if (c == ';') return true;
            if (c == '/' && p_ < end_ && *p_ == '/') {
                skipPast("\n");
                return false;
            }
            if (c == '/' && p_ < end_ && *p_ == '*') {
                ++p_;
                skipPast("*/");
                return false;
            }
            if (c == '"') {
                while (p_ < end_ && *p_ != '"' && *p_ != '\n') p_ += (*p_ == '\\' && p_ + 1 < end_) ? 2 : 1;
                if (p_ < end_) ++p_;
                return false;
            }
            if (c == '\\') {
                while (p_ < end_ && !blank(static_cast<unsigned char>(*p_))) ++p_;
                return false;
            }
        }
        return false;
    }

    void skipPast(const char *mark) {
        const void *hit = memmem(p_, static_cast<size_t>(end_ - p_), mark, std::strlen(mark));
        p_ = hit != nullptr ? static_cast<const char *>(hit) + std::strlen(mark) : end_;
        inComment_ = hit == nullptr && mark[0] == '*';
    }

    const char *p_ = nullptr;
    const char *end_ = nullptr;
    bool inComment_ = false;
};

// The module structure of a file, fed in pieces that end at line ends.
class ModuleScan {
public:
    explicit ModuleScan(VerilogModules &into) : into_(into) {}
    void feed(const char *text, size_t size);

private:
    VerilogModules &into_;
    std::set<std::string> *cells_ = nullptr;  // those the current module instantiates
    Scanner s;
    std::string_view tok;  // inside the piece being fed
    std::string module;
    // The cells of the current module already in cells_, searched by hash without a copy.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view v) const { return std::hash<std::string_view>()(v); }
    };
    std::unordered_set<std::string, Hash, std::equal_to<>> seen_;
    bool ident = false, prevStar = false;
    enum { Outside, Name, Header, Body, Specify, Attribute } state = Outside;
    bool statementStart = false;
    int depth = 0, inside = 0;
};

void ModuleScan::feed(const char *text, size_t size) {
    VerilogModules &into = into_;
    s.feed(text, size);
    for (;;) {
        // Inside a statement whose first word is known, only its end matters.
        if (state == Body && !statementStart) {
            if (!s.skipStatement()) return;
            statementStart = true;
            prevStar = false;
            continue;
        }
        if (!s.next(tok, ident)) return;
        switch (state) {
        case Outside:
            if (ident && (tok == "module" || tok == "macromodule")) state = Name;
            break;
        case Name:
            module = ident ? std::string(tok) : std::string();
            cells_ = nullptr;
            seen_.clear();
            if (!module.empty()) {
                auto [slot, added] = into.uses.emplace(module, std::set<std::string>());
                if (added) into.order.push_back(module);
                cells_ = &slot->second;
            }
            state = Header;
            depth = 0;
            break;
        case Header:
            if (tok == "(") ++depth;
            else if (tok == ")") --depth;
            else if (tok == ";" && depth <= 0) state = Body, statementStart = true;
            break;
        case Specify:
            if (ident && tok == "endspecify") state = Body, statementStart = true;
            break;
        case Attribute:  // "(*" ... "*)": the statement starts after it
            if (tok == ")" && prevStar && inside > 1) state = Body;
            ++inside;
            break;
        case Body:
            if (ident && tok == "endmodule") {
                state = Outside;
            } else if (ident && tok == "specify") {
                state = Specify;
            } else if (tok == ";") {
                statementStart = true;
            } else if (statementStart && tok == "(") {
                state = Attribute;  // "(*" before an instance
                inside = 0;
            } else if (statementStart) {
                if (ident && cells_ != nullptr && !isKeyword(tok) && seen_.find(tok) == seen_.end()) {
                    seen_.emplace(tok);
                    cells_->emplace(tok);
                }
                statementStart = false;
            }
            break;
        }
        prevStar = tok == "*";
    }
}

} // namespace

std::vector<std::string> VerilogModules::roots() const {
    std::set<std::string> used;
    for (const auto &[module, cells] : uses) {
        for (const std::string &c : cells) {
            if (c != module) used.insert(c);
        }
    }
    std::vector<std::string> out;
    for (const std::string &m : order) {
        if (used.count(m) == 0) out.push_back(m);
    }
    return out;
}

std::vector<std::string> VerilogModules::below(const std::string &top) const {
    std::vector<std::string> out;
    std::set<std::string> seen{top};
    std::vector<std::string> todo{top};
    while (!todo.empty()) {
        const std::string m = todo.back();
        todo.pop_back();
        out.push_back(m);
        for (const std::string &c : uses.at(m)) {
            if (defines(c) && seen.insert(c).second) todo.push_back(c);
        }
    }
    return out;
}

namespace {

bool writeAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// An open regular file; -1 with the reason in `error`.
int openRegular(const std::string &path, std::string &error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
    error = fd < 0 ? std::strerror(errno) : "not a regular file";
    if (fd >= 0) ::close(fd);
    return -1;
}

// Copies the whole of `in` to `out` inside the kernel where it can, else through a buffer.
bool copyAll(int in, int out) {
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
        if (n == 0) return true;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
        break;
    }
    std::vector<char> buf(size_t{1} << 20);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || !writeAll(out, buf.data(), static_cast<size_t>(n))) return false;
    }
}

} // namespace

// Read in pieces of about 64 KiB (a longer line takes a larger piece), each cut after its last
// line end, so that a large netlist costs the scan no more memory than a piece.
bool scanFile(const std::string &path, VerilogModules &into, FileFacts &facts, std::string &error) {
    const int fd = openRegular(path, error);
    if (fd < 0) return false;
    ModuleScan scan(into);
    std::vector<char> buf(size_t{1} << 16);
    size_t held = 0;
    facts = FileFacts();
    for (;;) {
        if (held == buf.size()) buf.resize(buf.size() * 2);
        const ssize_t n = ::read(fd, buf.data() + held, buf.size() - held);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        const size_t got = static_cast<size_t>(n);
        const char *end = buf.data() + held + got;
        for (const char *q = buf.data() + held; (q = static_cast<const char *>(std::memchr(q, '\n', size_t(end - q)))) != nullptr; ++q) {
            ++facts.lines;
        }
        held += got;
        facts.size += got;
        size_t cut = held;
        if (n > 0) {
            while (cut > 0 && buf[cut - 1] != '\n') --cut;
            if (cut == 0) continue;  // no line end yet: read on
        }
        if (cut > 0) facts.endsWithNewline = buf[cut - 1] == '\n';
        scan.feed(buf.data(), cut);
        std::memmove(buf.data(), buf.data() + cut, held - cut);
        held -= cut;
        if (n == 0) break;
    }
    ::close(fd);
    if (!facts.endsWithNewline && facts.size > 0) ++facts.lines;
    return true;
}

bool concatenate(const std::vector<std::string> &files, const std::vector<FileFacts> &facts,
                 const std::string &target, std::vector<SourcePart> &parts, std::string &error) {
    const std::string temp = target + ".import-tmp";
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (out < 0) return error = temp + ": " + std::strerror(errno), false;
    parts.clear();
    long line = 1;
    bool ok = true;
    for (size_t i = 0; i < files.size() && ok; ++i) {
        std::string why;
        const int in = openRegular(files[i], why);
        ok = in >= 0 && copyAll(in, out) && (facts[i].endsWithNewline || facts[i].size == 0 || writeAll(out, "\n", 1));
        if (!ok) error = files[i] + ": " + (why.empty() ? std::strerror(errno) : why);
        if (in >= 0) ::close(in);
        parts.push_back({files[i], line});
        line += facts[i].lines;
    }
    if (ok && ::fsync(out) != 0) error = temp + ": " + std::strerror(errno), ok = false;
    if (::close(out) != 0 && ok) error = temp + ": " + std::strerror(errno), ok = false;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) error = target + ": " + std::strerror(errno), ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

std::string mapLines(const std::string &text, const std::string &copy, const std::vector<SourcePart> &parts) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(pos, end - pos);
        pos = end;
        const size_t digits = copy.size() + 1;
        if (line.size() > digits && line.compare(0, copy.size(), copy) == 0 && line[copy.size()] == ':' &&
            line[digits] >= '0' && line[digits] <= '9') {
            const long n = std::strtol(line.c_str() + digits, nullptr, 10);
            size_t k = parts.size();
            while (k > 0 && parts[k - 1].firstLine > n) --k;
            if (k > 0) {
                size_t rest = digits;
                while (rest < line.size() && line[rest] >= '0' && line[rest] <= '9') ++rest;
                line = parts[k - 1].path + ":" + std::to_string(n - parts[k - 1].firstLine + 1) + line.substr(rest);
            }
        }
        out += line;
    }
    return out;
}

} // namespace nyxtool
