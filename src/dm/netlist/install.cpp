// The class rows and type-table rows of the whole data model, installed by one call from the
// session code's start list.
#include "dm/netlist/netlist.h"

// The netlist room's rows, defined beside their classes.
extern const nyxClassOps nyxPortBundleOps, nyxPortBusOps, nyxPortScalarOps, nyxInstOps,
    nyxPortInstBundleOps, nyxPortInstBusOps, nyxPortInstScalarOps, nyxNetBundleOps, nyxNetBusOps,
    nyxNetScalarOps, nyxNetlistViewOps, nyxNetAliasOps;

void nyxDMInstall() {
    nyxPropInstall();
    nyxStoreInstall();
    const struct {
        int32_t code;
        const nyxClassOps *ops;
    } rows[] = {
        {nyxCodePortBundle, &nyxPortBundleOps},
        {nyxCodePortBus, &nyxPortBusOps},
        {nyxCodePortScalar, &nyxPortScalarOps},
        {nyxCodeInst, &nyxInstOps},
        {nyxCodePortInstBundle, &nyxPortInstBundleOps},
        {nyxCodePortInstBus, &nyxPortInstBusOps},
        {nyxCodePortInstScalar, &nyxPortInstScalarOps},
        {nyxCodeNetBundle, &nyxNetBundleOps},
        {nyxCodeNetBus, &nyxNetBusOps},
        {nyxCodeNetScalar, &nyxNetScalarOps},
        {nyxCodeNetlistView, &nyxNetlistViewOps},
        {nyxCodeNetAlias, &nyxNetAliasOps},
    };
    for (const auto &row : rows) nyxClasses::install(row.code, row.ops);
    // The rows of netlist views list the views found in cell directories. Their reader and
    // writer belong to the view file: without a reader a listed view's contents cannot be
    // reached (27), without a writer a save writes nothing.
    for (int32_t row : {nyxDMTypes::kNetlistView, nyxDMTypes::kNetlistViewOld}) {
        nyxDMTypes::install(row, nullptr, nullptr, nyxNetlistView::remove,
                            nyxNetlistView::constructStored);
    }
}
