// Helpers of the expression tests: a lookup context over a table of names, and a one-line
// rendering of a result ("int:7", "real:3.5", "bool:true", "str:abc", "void", "err:31011").
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "expr/expr.h"

namespace exprtest {

class TableLookup : public nyxExprLookup {
public:
    std::map<std::string, nyxExprValue> values;
    std::map<std::string, std::string> texts;        // string values
    std::map<std::string, std::string> expressions;  // names whose value is an expression
    std::map<std::string, int> calls;
    nyxExprMgr *mgr = nullptr;  // evaluates `expressions`
    const void *scopeKey = nullptr;

    void set(const std::string &name, nyxExprValue v) { values[name] = v; }
    void setText(const std::string &name, const std::string &text) { texts[name] = text; }

    bool lookup(const char *name, nyxExprCompilerContext *cctx, nyxExprValue &out,
                cfidrErrorT *err) override {
        ++calls[name];
        if (auto it = values.find(name); it != values.end()) {
            out = it->second;
            return true;
        }
        if (auto it = texts.find(name); it != texts.end()) {
            out = nyxExprValue::ofString(it->second.c_str(), static_cast<uint32_t>(it->second.size()));
            return true;
        }
        if (auto it = expressions.find(name); it != expressions.end() && mgr != nullptr) {
            out = mgr->evaluate(name, it->second.c_str(), this, cctx, err);
            return *err == 0;
        }
        return false;
    }
    const void *scope() const override { return scopeKey; }
};

inline std::string render(const nyxExprValue &v, cfidrErrorT err) {
    if (err != 0) return "err:" + std::to_string(err);
    char buf[64];
    switch (v.primaryKind()) {
    case nyxExprInt: return "int:" + std::to_string(v.i);
    case nyxExprReal: std::snprintf(buf, sizeof buf, "real:%.15g", v.r); return buf;
    case nyxExprBool: return v.i != 0 ? "bool:true" : "bool:false";
    case nyxExprString: return "str:" + std::string(v.s, v.len);
    default: return "void";
    }
}

inline std::string eval(nyxExprMgr &mgr, const std::string &text, nyxExprLookup *lookup = nullptr) {
    cfidrErrorT err = -1;
    nyxExprValue v = mgr.evaluate(nullptr, text.c_str(), lookup, nullptr, &err);
    return render(v, err);
}

struct Case {
    const char *text;
    std::string expected;
};

// Evaluates every case with one manager and compares the rendered results.
template <size_t N> void runTable(const Case (&cases)[N], nyxExprLookup *lookup = nullptr) {
    nyxExprMgr mgr;
    for (const Case &c : cases) EXPECT_EQ(eval(mgr, c.text, lookup), c.expected) << "text: " << c.text;
}

} // namespace exprtest
