// The record reader, continued: design configurations (D) and occurrence property sets (O),
// built through the configuration room. An existing configuration or set of the record's name
// is kept: the record is read and its contents dropped.
#include <cstdio>

#include "compiler/netreader.h"
#include "config/config.h"
#include "dm/netlist/netlist.h"

namespace {

// The netlist view of that name in a cell that memory lists (nothing is read or compiled).
nyxDMObj *listedNetlistView(nyxCell *cell, const std::string &name) {
    if (cell == nullptr) return nullptr;
    nyxDynArray &views = cell->views();
    for (int32_t i = 0; i < views.nitems(); ++i) {
        if (nyxCell::viewCode(views[i]) != nyxCodeNetlistView) continue;
        nyxDMObj *view = nyxCell::viewObject(views[i]);
        if (nyxDMUtil::sameName(view->nameObj(), name.c_str())) return view;
    }
    return nullptr;
}

nyxCell *listedCell(const std::string &libName, const std::string &cellName) {
    nyxLib *lib = libName.empty() ? nullptr : nyxLib::findKnown(libName.c_str());
    if (lib == nullptr) return nullptr;
    return lib->cellNamed(cellName.c_str());
}

nyxDMObj *listedObject(nyxDynArray &list, const std::string &name) {
    for (int32_t i = 0; i < list.nitems(); ++i) {
        auto *obj = static_cast<nyxDMObj *>(list[i]);
        if (nyxDMUtil::sameName(obj->nameObj(), name.c_str())) return obj;
    }
    return nullptr;
}

// Splits "instPath:port" at the first colon that no backslash escapes.
bool splitPortPath(const std::string &text, std::string &inst, std::string &port) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == ':') {
            inst = text.substr(0, i);
            port = text.substr(i + 1);
            return true;
        }
    }
    return false;
}

bool allValid(const std::vector<std::string> &names) {
    for (const std::string &n : names) {
        if (!nyxDMUtil::validName(std::string_view(n))) return false;
    }
    return true;
}

} // namespace

bool nyxCompilerNetlist::readDesignConfig() {
    std::string name, lib, cell, rootLib, rootCell, rootView;
    if (!readName(name) || !readName(lib) || !readName(cell)) return false;
    rootLib = d_in.readString();
    rootCell = d_in.readString();
    rootView = d_in.readString();
    const int32_t mode = d_in.readInt();
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    for (const std::string *n : {&rootLib, &rootCell, &rootView}) {
        if (!n->empty() && !nyxDMUtil::validName(std::string_view(*n))) return NYX_COMPILER_CORRUPT();
    }
    if (mode < 0 || mode > 2 || count < 0) return NYX_COMPILER_CORRUPT();
    if (!nyxDMPath::fitsEntry(name.c_str(), nyxDMTypes::row(nyxDMTypes::kDesignConfig).ext)) return NYX_COMPILER_CORRUPT();
    nyxLib *l = findOrMakeLib(lib);
    nyxCell *c = l != nullptr ? findOrMakeCell(l, cell) : nullptr;
    if (c == nullptr) return false;
    nyxDesignConfig *config = nullptr;
    if (listedObject(c->designConfigs(), name) != nullptr) {
        std::fprintf(stderr, "NYX: compiled design configuration %s/%s/%s not replaced\n", lib.c_str(), cell.c_str(),
                     name.c_str());
    } else {
        // The root: the view named, else the view of the configuration's own name in its cell.
        nyxDMObj *root = listedNetlistView(listedCell(rootLib, rootCell), rootView);
        if (root == nullptr) root = listedNetlistView(c, name);
        cfidrErrorT e = 0;
        config = nyxDesignConfig::create(c, name.c_str(), root, mode, &e);
        if (config == nullptr) return NYX_COMPILER_CORRUPT();  // memory
        d_made.push_back({config, nyxCodeDesignConfig});
    }
    std::string setLib, setCell, setName;
    for (int32_t i = 0; i < count && d_in.good(); ++i) {
        if (!readName(setLib) || !readName(setCell) || !readName(setName)) return false;
        if (config == nullptr) continue;
        nyxCell *sc = listedCell(setLib, setCell);
        nyxDMObj *set = sc != nullptr ? listedObject(sc->occPropSets(), setName) : nullptr;
        if (set != nullptr && !config->insertSetObject(set, config->setRefs().nitems())) return NYX_COMPILER_CORRUPT();
    }
    const PropTarget target = config != nullptr ? PropTarget{PropTarget::kRow, config, nyxCodeDesignConfig, 0}
                                                : PropTarget{PropTarget::kDiscard, nullptr, 0, 0};
    if (!readPropList(target, true, 0)) return false;
    std::string from;
    if (!readCompiledFrom(from)) return false;
    if (config != nullptr && !config->d_compiledFrom.setString(from.c_str(), nyx::getLibCellHeap())) {
        return NYX_COMPILER_CORRUPT();  // memory
    }
    return true;
}

bool nyxCompilerNetlist::readOccPropSet() {
    std::string name, lib, cell;
    if (!readName(name) || !readName(lib) || !readName(cell)) return false;
    if (!nyxDMPath::fitsEntry(name.c_str(), nyxDMTypes::row(nyxDMTypes::kOccPropSet).ext)) return NYX_COMPILER_CORRUPT();
    nyxLib *l = findOrMakeLib(lib);
    nyxCell *c = l != nullptr ? findOrMakeCell(l, cell) : nullptr;
    if (c == nullptr) return false;
    nyxOccPropSet *set = nullptr;
    if (listedObject(c->occPropSets(), name) != nullptr) {
        std::fprintf(stderr, "NYX: compiled occurrence property set %s/%s/%s not replaced\n", lib.c_str(),
                     cell.c_str(), name.c_str());
    } else {
        cfidrErrorT e = 0;
        set = nyxOccPropSet::create(c, name.c_str(), &e);
        if (set == nullptr) return NYX_COMPILER_CORRUPT();  // memory
        d_made.push_back({set, nyxCodeOccPropSet});
        set->d_fromTabo = d_fromTabo;
    }
    if (!readOccEntries(set, nyxCodeViewOccProp) || !readOccEntries(set, nyxCodeNetOccProp) ||
        !readOccEntries(set, nyxCodePortOccProp)) {
        return false;
    }
    const PropTarget target = set != nullptr ? PropTarget{PropTarget::kRow, set, nyxCodeOccPropSet, 0}
                                             : PropTarget{PropTarget::kDiscard, nullptr, 0, 0};
    if (!readPropList(target, true, 0)) return false;
    std::string from;
    if (!readCompiledFrom(from)) return false;
    if (set != nullptr && !set->d_compiledFrom.setString(from.c_str(), nyx::getLibCellHeap())) {
        return NYX_COMPILER_CORRUPT();  // memory
    }
    return true;
}

// Occurrences of one kind: a path (for ports "instPath:port", the port part a port name and its
// member path) and its property list. Every name on a path follows the name rule.
bool nyxCompilerNetlist::readOccEntries(nyxOccPropSet *set, int32_t code) {
    const int32_t count = d_in.readInt();
    if (!d_in.good()) return false;
    if (count < 0) return NYX_COMPILER_CORRUPT();
    for (int32_t i = 0; i < count && d_in.good(); ++i) {
        const std::string text = d_in.readString();
        if (!d_in.good()) return false;
        std::vector<std::string> path;
        std::string leaf;
        if (code == nyxCodePortOccProp) {
            std::string inst, port;
            if (!splitPortPath(text, inst, port)) return NYX_COMPILER_CORRUPT();
            path = nyxOccPropPath::parse(inst);
            std::vector<std::string> member = nyxOccPropPath::parse(port);
            if (member.empty() || !allValid(member)) return NYX_COMPILER_CORRUPT();
            path.push_back(member.front());
            member.erase(member.begin());
            leaf = nyxOccPropPath::internalPortName(path.back(), member);
        } else {
            path = nyxOccPropPath::parse(text);
            if (!path.empty()) leaf = path.back();
        }
        if (path.empty() || !allValid(path)) return NYX_COMPILER_CORRUPT();
        nyxOccPropNode *node = nullptr;
        if (set != nullptr) {
            cfidrErrorT e = 0;
            node = nyxOccPropSet::makeNode(set, code, path, leaf, &e);
            if (node == nullptr) return NYX_COMPILER_CORRUPT();  // memory
        }
        const PropTarget target = node != nullptr ? PropTarget{PropTarget::kRow, node, code, 0}
                                                  : PropTarget{PropTarget::kDiscard, nullptr, 0, 0};
        if (!readPropList(target, true, 0)) return false;
    }
    return d_in.good();
}
