// Strict decoding of the record stream into text.
#include "decode.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace nyxvctest {

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Decoder {
public:
    explicit Decoder(std::string_view b) : b_(b) {}

    std::string run() {
        try {
            if (ch() != 'T') throw Failure("stream does not begin with T");
            str();
            for (;;) {
                const char c = ch();
                if (c == 'Q') break;
                if (c != 'C') throw Failure(std::string("record ") + c);
                viewRecord();
            }
            if (p_ != b_.size()) throw Failure("bytes after Q");
        } catch (const Failure &f) {
            out_ += "error: " + std::string(f.what()) + " at byte " + std::to_string(p_) + "\n";
        }
        return out_;
    }

private:
    uint8_t byte() {
        if (p_ >= b_.size()) throw Failure("end of stream");
        return static_cast<uint8_t>(b_[p_++]);
    }
    char ch() { return static_cast<char>(byte()); }
    int32_t i32() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v |= uint32_t(byte()) << (8 * k);
        return static_cast<int32_t>(v);
    }
    std::string str() {
        const int32_t n = i32();
        if (n < 0 || n > 128000 || p_ + size_t(n) > b_.size()) throw Failure("bad string length");
        std::string s(b_.substr(p_, size_t(n)));
        p_ += size_t(n);
        return s;
    }
    uint8_t peekTy() {
        if (p_ >= b_.size()) throw Failure("end of stream");
        return static_cast<uint8_t>(b_[p_]);
    }
    void line(int depth, const std::string &text) { out_ += std::string(size_t(depth) * 2, ' ') + text + "\n"; }
    void expectTy(uint8_t t) {
        const uint8_t got = byte();
        if (got != t) throw Failure("mark " + std::to_string(got) + ", expected " + std::to_string(t));
    }

    void viewRecord() {
        str();
        str();
        for (;;) {
            const char c = ch();
            if (c == 'E') break;
            if (c == 'P') {
                const int32_t n = i32();
                for (int32_t k = 0; k < n; ++k) {
                    const int32_t idx = i32(), type = i32();
                    names_.resize(std::max<size_t>(names_.size(), size_t(idx) + 1));
                    names_[size_t(idx)] = str();
                    line(0, "name " + std::to_string(idx) + " " + names_[size_t(idx)] + " type " + std::to_string(type));
                }
            } else if (c == 'V') {
                viewData();
            } else {
                throw Failure(std::string("view sub-record ") + c);
            }
        }
        line(0, "from " + str());
    }

    void viewData() {
        if (ch() != 'N') throw Failure("not a netlist view");
        const std::string lib = str(), cell = str(), view = str(), type = str();
        i32();
        const int32_t nets = i32(), fps = i32();
        line(0, "view " + lib + "/" + cell + "/" + view + " " + type + " nets " + std::to_string(nets) + " footprints " +
                    std::to_string(fps));
        nets_ = 0;
        fpPorts_.clear();
        for (;;) {
            const uint8_t t = byte();
            if (t == 15) break;
            if (t == 3) {
                net(1);
            } else if (t == 4) {
                port(1);
            } else if (t == 13) {
                footprint();
            } else if (t == 2) {
                instance();
            } else {
                throw Failure("view-level type " + std::to_string(t));
            }
        }
        if (nets_ != nets) throw Failure("net count " + std::to_string(nets) + " but " + std::to_string(nets_) + " nets");
        if (int32_t(fpPorts_.size()) != fps) throw Failure("footprint count differs");
    }

    void props(int depth) {
        if (p_ < b_.size() && peekTy() == 0) {
            ++p_;
            const int32_t n = i32();
            for (int32_t k = 0; k < n; ++k) {
                const int32_t idx = i32(), type = i32();
                std::string v;
                if (type == 2) v = std::to_string(i32());
                else if (type == 5) v = "\"" + str() + "\"";
                else throw Failure("value type " + std::to_string(type));
                if (i32() != 0) throw Failure("sub-properties");
                const std::string name = idx >= 0 && size_t(idx) < names_.size() ? names_[size_t(idx)] : "?";
                line(depth, "prop " + name + " = " + v);
            }
        }
    }

    void net(int depth) {
        if (i32() != 0) {
            line(depth, "ref #" + std::to_string(i32()));
            return;
        }
        const int32_t ot = i32();
        const std::string name = str();
        const int32_t index = nets_++;
        if (ot == 12) {
            const int32_t global = i32();
            line(depth, "net #" + std::to_string(index) + " " + name + (global ? " global" : ""));
        } else if (ot == 11) {
            const int32_t b1 = i32(), b2 = i32();
            line(depth, "bus #" + std::to_string(index) + " " + name + " " + std::to_string(b1) + " " + std::to_string(b2));
        } else {
            throw Failure("net object type " + std::to_string(ot));
        }
        props(depth + 1);
        while (p_ < b_.size() && peekTy() == 5) {
            ++p_;
            const int32_t global = i32();
            line(depth + 1, "alias " + str() + (global ? " global" : ""));
        }
        if (ot == 11) {
            expectTy(3);
            const int32_t n = i32();
            for (int32_t k = 0; k < n; ++k) {
                expectTy(3);
                net(depth + 1);
            }
        }
    }

    void port(int depth) {
        const int32_t ot = i32();
        const std::string name = str();
        if (ot == 5) {
            const int32_t dir = i32(), netIdx = i32();
            line(depth, "port " + name + " dir " + std::to_string(dir) + " net " + std::to_string(netIdx));
            props(depth + 1);
            return;
        }
        if (ot != 4) throw Failure("port object type " + std::to_string(ot));
        const int32_t b1 = i32(), b2 = i32();
        line(depth, "port bus " + name + " " + std::to_string(b1) + " " + std::to_string(b2));
        props(depth + 1);
        expectTy(4);
        const int32_t n = i32();
        for (int32_t k = 0; k < n; ++k) {
            expectTy(4);
            port(depth + 1);
        }
    }

    // Footprint ports are kept as member counts (0 for a scalar) for the instances' records.
    void fpPort(int depth, std::vector<int32_t> &shape) {
        const int32_t ot = i32();
        const std::string name = str();
        if (ot == 5) {
            line(depth, "fpport " + name + " dir " + std::to_string(i32()));
            shape.push_back(0);
            return;
        }
        if (ot != 4) throw Failure("footprint port type " + std::to_string(ot));
        const int32_t b1 = i32(), b2 = i32(), n = i32();
        line(depth, "fpport bus " + name + " " + std::to_string(b1) + " " + std::to_string(b2));
        shape.push_back(n);
        std::vector<int32_t> members;
        for (int32_t k = 0; k < n; ++k) fpPort(depth + 1, members);
    }

    void footprint() {
        const std::string lib = str(), cell = str(), view = str();
        i32();
        str();
        const int32_t n = i32();
        line(1, "footprint #" + std::to_string(fpPorts_.size()) + " " + lib + "/" + cell + "/" + view);
        std::vector<int32_t> shape;
        for (int32_t k = 0; k < n; ++k) fpPort(2, shape);
        fpPorts_.push_back(shape);
    }

    void instance() {
        const int32_t fp = i32();
        const std::string name = str();
        if (fp < 0 || size_t(fp) >= fpPorts_.size()) throw Failure("footprint index " + std::to_string(fp));
        line(1, "inst " + name + " fp " + std::to_string(fp));
        props(2);
        for (int32_t members : fpPorts_[size_t(fp)]) {
            if (members == 0) {
                expectTy(9);
                line(2, "pin " + std::to_string(i32()));
                props(3);
                continue;
            }
            expectTy(8);
            expectTy(8);
            i32();
            std::string pins = "pins";
            for (int32_t k = 0; k < members; ++k) {
                expectTy(9);
                pins += " " + std::to_string(i32());
            }
            line(2, pins);
        }
    }

    std::string_view b_;
    size_t p_ = 0;
    std::string out_;
    std::vector<std::string> names_;
    int32_t nets_ = 0;
    std::vector<std::vector<int32_t>> fpPorts_;
};

} // namespace

std::string decodeRecords(std::string_view bytes) { return Decoder(bytes).run(); }

void splitAnswer(std::string_view answer, std::string &text, std::string &binary) {
    for (const char *end : {"#netlist\n", "#nonetlist\n"}) {
        const size_t at = answer.find(end);
        if (at != std::string_view::npos) {
            const size_t cut = at + std::strlen(end);
            text = std::string(answer.substr(0, cut));
            binary = std::string(answer.substr(cut));
            return;
        }
    }
    text = std::string(answer);
    binary.clear();
}

} // namespace nyxvctest
