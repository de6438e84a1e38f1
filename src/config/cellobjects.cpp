// What design configurations and occurrence property sets share as stored objects of cells.
#include "config/configInt.h"

nyxCell *nyxConfigOpenCell(const char *libName, const char *cellName, cfidrAccessModeT mode,
                           cfidrErrorT *err) {
    nyxLib *lib = nyxLib::findKnown(libName);
    if (lib == nullptr) {
        cfidrErrorT openErr = 0;
        lib = nyxLib::openLib(libName, mode, &openErr);
        if (lib == nullptr) return *err = cfidrErrNotFound, nullptr;
    }
    if (!lib->openObj(err)) return nullptr;
    lib->d_userOpened = 1;
    lib->d_accessMode = mode;
    cfidrErrorT cellErr = 0;
    nyxCell *cell = nyxLib::findCellByName(lib, cellName, &cellErr);
    if (cell == nullptr) return *err = cellErr == cfidrErrInternal ? cellErr : cfidrErrNotFound, nullptr;
    cfidrErrorT readErr = 0;
    if (!cell->openObj(&readErr) && readErr != cfidrErrNotFound) return *err = readErr, nullptr;
    return cell;
}
