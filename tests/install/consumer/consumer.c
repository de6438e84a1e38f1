/* A program that uses the installed library the usual way: it creates a library with one cell and
 * a netlist view, finds them again by name and prints what it found. */
#include <stdio.h>
#include <string.h>

#include <cfidr.h>

int main(void) {
    cfidrErrorT err = 0;
    cfiOID lib, cell, view, found;
    cfidrPIInit(&err);
    lib = cfidrPICreateLib("consumerlib", &err);
    cell = cfidrLibCreateCell(lib, "top", &err);
    view = cfidrCellCreateNetlistView(cell, "netlist", &err);
    if (err != 0 || view.object == 0) {
        cfidrErrorT e = 0;
        fprintf(stderr, "consumer: %s\n", cfidrPIGetErrorText(err, &e));
        return 1;
    }
    found = cfidrLibFindCellByName(lib, "top", &err);
    if (!cfidrObjectIsSame(found, cell, &err)) return 1;
    printf("consumer: %s/%s ok\n", cfidrNamedObjectGetName(lib, &err), cfidrNamedObjectGetName(found, &err));
    cfidrPIQuit(&err);
    return strcmp(cfidrPIGetErrorText(0, &err), "No error occurred.") == 0 ? 0 : 1;
}
