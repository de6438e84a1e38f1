// Scans, parses and evaluates arbitrary text with a lookup context that defines a few names,
// some of them expressions that refer to other names (and one to itself).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "expr/expr.h"
#include "status/status.h"

namespace {

class FuzzLookup : public nyxExprLookup {
public:
    explicit FuzzLookup(nyxExprMgr &mgr) : d_mgr(mgr) {}

    bool lookup(const char *name, nyxExprCompilerContext *cctx, nyxExprValue &out,
                cfidrErrorT *err) override {
        if (std::strcmp(name, "w") == 0) out = nyxExprValue::ofInt(4);
        else if (std::strcmp(name, "l") == 0) out = nyxExprValue::ofReal(0.18);
        else if (std::strcmp(name, "big") == 0) out = nyxExprValue::ofInt(2147483647);
        else if (std::strcmp(name, "s") == 0) out = nyxExprValue::ofString("nmos", 4);
        else if (std::strcmp(name, "n") == 0) out = nyxExprValue::ofString(" 12.5e1 ", 8);
        else if (std::strcmp(name, "t") == 0) out = nyxExprValue::ofBool(true);
        else if (std::strcmp(name, "v") == 0) out = nyxExprValue();
        else if (std::strcmp(name, "d") == 0) out = d_mgr.evaluate("d", "w * 2 + l", this, cctx, err);
        else if (std::strcmp(name, "r") == 0) out = d_mgr.evaluate("r", "r + 1", this, cctx, err);
        else if (std::strcmp(name, "f") == 0)
            out = d_mgr.evaluate("f", "$strcat(s, f)", this, cctx, err);
        else return false;
        return *err == 0;
    }

private:
    nyxExprMgr &d_mgr;
};

class FuzzHooks : public nyxExprCompilerContext {
public:
    void propertyMessage(const char *text) override { d_sink += std::strlen(text); }
    void formatError(const char *text) override { d_sink += std::strlen(text); }

private:
    size_t d_sink = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static nyxExprMgr *mgr = nyxExprMgr::create();
    if (mgr == nullptr) return 0;
    std::string text(reinterpret_cast<const char *>(data), size);
    // The text ends at its first NUL, as a C string would.
    text.resize(std::strlen(text.c_str()));

    FuzzLookup lookup(*mgr);
    FuzzHooks hooks;
    cfidrErrorT err = 0;
    nyxExprValue v = mgr->evaluate("fuzz", text.c_str(), &lookup, &hooks, &err);
    if (err == 0 && v.isString() && v.len > 0) {
        // Touch every byte of a string result.
        volatile char sink = 0;
        for (uint32_t k = 0; k < v.len; ++k) sink = static_cast<char>(sink ^ v.s[k]);
        (void)sink;
    }
    // Evaluating again must take the cached tree and give the same outcome.
    cfidrErrorT again = 0;
    nyxExprValue w = mgr->evaluate("fuzz", text.c_str(), &lookup, nullptr, &again);
    if (again != err || w.kind != v.kind) __builtin_trap();

    // Keep memory bounded over a long run.
    if (mgr->cacheSize() > 4096) mgr->clearCache();
    zilerrClearContext(zilerrContextForThread());
    return 0;
}
