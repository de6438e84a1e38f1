// The tree operations of design configurations: the walk's side of the seam in config.h. A
// configuration holds at most one tree (d_occTree) and, exactly while it holds one, a design id:
//   d_occTree != null <=> 0 <= d_designId < 256 and designId(d_occTree) == d_designId
//   d_flatNets => d_occTree != null (cleared with every drop and every build)
// A failed build keeps no tree and holds no id; a dropped tree frees its id, which the table
// does not hand back at once, so identifiers of the old tree stop naming any tree (31001).
#include "config/config.h"
#include "dw/dw.h"

namespace {

nyxOccTree *&treeOf(nyxDesignConfig *config) {
    return reinterpret_cast<nyxOccTree *&>(config->d_occTree);
}

// The dropper installed on the configurations: the tree only; the configuration clears its
// flag and frees its id itself.
void dropConfigTree(nyxDesignConfig *config) { nyxdw::dropTree(treeOf(config)); }

} // namespace

namespace nyxdw {

void install() { nyxDesignConfig::treeDropper = dropConfigTree; }

void deleteTree(nyxDesignConfig *config) {
    dropTree(treeOf(config));
    config->d_flatNets = false;
    nyxDesignConfig::dropDesignId(config);
}

nyxOccTree *currentTree(nyxDesignConfig *config) {
    nyxOccTree *tree = treeOf(config);
    if (tree == nullptr) return nullptr;
    if (isCurrent(tree)) return tree;
    deleteTree(config);
    return nullptr;
}

nyxOccTree *createTree(nyxDesignConfig *config, cfidrErrorT *err) {
    cfidrErrorT local = 0;
    nyxDMObj *root = nyxDesignConfig::getRootView(config, &local);
    if (root == nullptr) {
        // No root view (or one that cannot be found) leaves nothing to compute; a file that
        // cannot be read keeps its own code.
        *err = local == cfidrErrNotFound ? nyxdwErrOccTreeFailed : local;
        return nullptr;
    }
    if (nyxOccTree *tree = currentTree(config)) return tree;
    if (!nyxDesignConfig::takeDesignId(config, err)) return nullptr;
    nyxOccTree *tree = buildTree(static_cast<nyxNetlistView *>(root), config->d_designId, err);
    if (tree == nullptr) {
        nyxDesignConfig::dropDesignId(config);
        return nullptr;
    }
    treeOf(config) = tree;
    config->d_flatNets = false;
    return tree;
}

nyxOccTree *needFlatNetsTree(nyxDesignConfig *config, cfidrErrorT *err) {
    nyxOccTree *tree = createTree(config, err);
    if (tree == nullptr || !computeFlatNets(tree, err)) return nullptr;
    config->d_flatNets = true;
    return tree;
}

nyxOccTree *resolveTree(int32_t id) {
    nyxDesignConfig *config = nyxDesignConfig::byDesignId(id);
    if (config == nullptr) return nullptr;
    nyxOccTree *tree = currentTree(config);
    return tree != nullptr && designId(tree) == id ? tree : nullptr;
}

nyxOccTree *resolveTreeAgain(nyxTreeMemo *memo) {
    memo->tree = resolveTree(memo->designId);
    // The full resolve may have dropped a stale tree: the counters are read after it.
    memo->dropped = treesDropped();
    memo->epoch = nyxNetlistView::epoch();
    memo->version = nyxSettings::getViewVersion();
    return memo->tree;
}

} // namespace nyxdw
