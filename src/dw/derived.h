// derived.h - derived properties of occurrences: the value of a property as seen at one
// occurrence, merged from the occurrence property sets of a design configuration and the stored
// design, and expressions evaluated in the occurrence's context. The face the exported walk
// functions call; it sees src/config, which dw.h does not.
//
// Look-up of a name N at an occurrence O in merge mode M (0 sets only, 1 the stored design only,
// 2 both; the caller checks the mode, 31003):
//   1. M != 1: each set of the configuration in its order, through the set's cross-reference
//      for this tree (net occurrence id, instance occurrence id, the top's id 3 for the set's own
//      list, instance occurrence and port position); the first list holding N wins. A deleted
//      mark (value type 4) found there ends the look-up with 27: it hides the stored value.
//   2. M != 0: the stored design: a net's own list; the top: the root view, then its cell, then
//      the configuration; an instance occurrence: the instance, then its describer view; a port
//      occurrence: its port instance, then the describer port.
//   Flat net: step 1 per set in order; within one set the entry on a member net occurrence with
//   the smallest id wins, found by scanning the set's net entries or the members, whichever is
//   fewer. Step 2 visits each distinct (view, net) of the flat net once, in member order.
//   Not found: 27.
// Derived-property lists (the iterators): every name once, as the look-up would find it, in the
// order sets (configuration order, each list in index order), then the stored lists; names
// whose look-up meets a deleted mark are left out.
//
// Evaluation: an expression is evaluated with names resolved at the occurrence, then at each
// enclosing instance occurrence outward, then the top (each level with the same merge mode).
// A name whose value is an expression is evaluated at the level where it was found, with that
// level as the recursion guard's scope (design id, occurrence id, kind, port): a name defined by
// itself at one level fails with 31013, the same name used at two levels does not. Resolved
// names are cached for the one call, failures too. The result is entry 0 of the session's
// evaluation list, renamed to the property's name ("nyxdwStringEval" for a text) and set at each
// evaluation: integer, real (stored as a float), boolean, or string. A real outside +-1e37 or not
// finite is 31012; on any error the entry stays as it was and the result is null.
//
// The exported functions will call: nyxdwOccFindDerivedPropByName find; nyxdwOccGetDerivedProps
// list (an iterator over the references it gives); nyxdwPropEvaluate evaluate; nyxdwStringEvaluate
// evaluateText; nyxdwOccCreateOccProp createOccProp (after clearing the error variable, as every
// function of the family does).
#pragma once

#include <vector>

#include "config/config.h"
#include "dw/dw.h"

// The occurrence tree as the cross-reference of a set sees it: occurrence ids of the tree, keyed
// by the tree and its build serial.
class nyxdwOccSource final : public nyxOccSource {
public:
    explicit nyxdwOccSource(nyxOccTree *tree) : d_tree(tree) {}
    const void *treeKey() const override { return d_tree; }
    uint64_t treeSerial() const override;
    uint64_t top() const override { return nyxdw::kTopId; }
    uint64_t childInst(uint64_t instOcc, const char *instName) const override;
    bool isLeaf(uint64_t instOcc) const override;
    uint64_t net(uint64_t instOcc, const char *netName) const override;
    uint64_t port(uint64_t instOcc, const char *portName, const char *const *memberPath) const override;

private:
    nyxOccTree *d_tree;
};

namespace nyxdwDerived {

// Where derived properties are read: a current tree and the configuration whose sets apply
// (null: no sets, and nothing of a configuration at the top).
struct Design {
    nyxOccTree *tree = nullptr;
    nyxDesignConfig *config = nullptr;
};

// A property found: the list and the entry's index.
struct Found {
    const nyxPropList *list = nullptr;
    uint32_t index = 0;
    bool isNull() const { return list == nullptr; }
};

// Each operation below expects *err clear on entry (the exported functions clear it first).
Found find(const Design &d, const nyxOccRef &occ, const char *name, int32_t mergeMode, cfidrErrorT *err);

// A name as the property name table numbers it (-1: no property has it), for many look-ups.
struct Name {
    explicit Name(const char *name);
    const char *text;
    int32_t serial;
};
// The lists of one occurrence, each read on first need: the sets' lists in configuration order
// and the stored design's (at most three).
struct Known {
    std::vector<const nyxPropList *> sets;
    const nyxPropList *stored[3] = {nullptr, nullptr, nullptr};
    int32_t storedCount = 0;
    bool setsKnown = false;
    bool storedKnown = false;
    bool once = false;  // one look-up: the sets' lists are read as they are searched
    void push_back(const nyxPropList *l) { stored[storedCount++] = l; }
};
// Many look-ups at one occurrence: its lists are read once.
class Finder {
public:
    Finder(const Design &d, const nyxOccRef &occ, int32_t mergeMode) : d_design(d), d_occ(occ), d_mode(mergeMode) {}
    Found find(const Name &name, cfidrErrorT *err);

private:
    Design d_design;
    nyxOccRef d_occ;
    int32_t d_mode;
    Known d_known;
};
bool list(const Design &d, const nyxOccRef &occ, int32_t mergeMode, std::vector<Found> *out, cfidrErrorT *err);

// The value of `prop` at `occ`: a property that is not an expression is handed back as it is;
// an expression's result is the evaluation list's entry (null with the evaluator's code).
Found evaluate(const Design &d, const Found &prop, const nyxOccRef &occ, int32_t mergeMode, cfidrErrorT *err);
Found evaluateText(const Design &d, const char *text, const nyxOccRef &occ, int32_t mergeMode, cfidrErrorT *err);

// The node of `occ`'s path in `set`, made when missing: a net node for a net occurrence, an
// instance node for an instance occurrence, a port node for a port occurrence (member path as
// the port's path gives it). The top has no path (30001); a flat net 15; 31001 a bad occurrence.
// With `mustBeNew` a node that exists already is not handed back: 26, as the set's create gives.
nyxOccPropNode *createOccProp(nyxOccTree *tree, const nyxOccRef &occ, nyxOccPropSet *set, cfidrErrorT *err,
                              bool mustBeNew = false);

} // namespace nyxdwDerived
