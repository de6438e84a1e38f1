/* make_design: builds a small two-level design through the interface and saves it in the current
 * directory (run with ZIL_NYX_LIBRARYMAP=. so that libraries live there): a library "demolib"
 * with an inverter cell and a cell "buffer" whose netlist view chains two inverters. The program
 * stops at the first error and prints its text. */
#include <stdio.h>
#include <stdlib.h>

#include "cfidr.h"

static cfidrErrorT err = 0;

/* Stops with the text of the last error when there was one. */
static void check(const char *what) {
    cfidrErrorT ignored = 0;
    if (err == 0) return;
    fprintf(stderr, "make_design: %s: %s\n", what, cfidrPIGetErrorText(err, &ignored));
    exit(1);
}

int main(void) {
    cfiOID lib, inv, invView, buf, top, u1, u2, in, mid, out, prop;
    static const char *const kInsts[2] = {"u1", "u2"};
    cfiOID insts[2];
    int i;

    cfidrPIInit(&err);
    check("init");
    lib = cfidrPICreateLib("demolib", &err);
    check("create library");

    /* The inverter: an input "a", an output "y", and a drive-strength property. */
    inv = cfidrLibCreateCell(lib, "inv", &err);
    invView = cfidrCellCreateNetlistView(inv, "netlist", &err);
    cfidrNetlistViewCreatePortScalar(invView, "a", 0, cfidrInputDirection, &err);
    cfidrNetlistViewCreatePortScalar(invView, "y", 1, cfidrOutputDirection, &err);
    prop = cfidrObjectCreateProp(invView, "strength", &err);
    cfidrPropSetInt32Value(prop, 2, &err);
    check("build the inverter");

    /* The buffer: in -> u1 -> mid -> u2 -> out. */
    buf = cfidrLibCreateCell(lib, "buffer", &err);
    top = cfidrCellCreateNetlistView(buf, "netlist", &err);
    cfidrNetlistViewCreatePortScalar(top, "in", 0, cfidrInputDirection, &err);
    cfidrNetlistViewCreatePortScalar(top, "out", 1, cfidrOutputDirection, &err);
    in = cfidrNetlistViewCreateNetScalar(top, "in", &err);
    mid = cfidrNetlistViewCreateNetScalar(top, "mid", &err);
    out = cfidrNetlistViewCreateNetScalar(top, "out", &err);
    cfidrNetAttachPort(in, cfidrNetlistViewFindPortByName(top, "in", &err), cfidrPositionAttachMode,
                       &err);
    cfidrNetAttachPort(out, cfidrNetlistViewFindPortByName(top, "out", &err),
                       cfidrPositionAttachMode, &err);
    check("build the buffer's interface");
    for (i = 0; i < 2; ++i) {
        insts[i] = cfidrNetlistViewCreateInst(top, invView, kInsts[i], &err);
        check("create an instance");
    }
    u1 = insts[0];
    u2 = insts[1];
    cfidrNetAttachPortInst(in, cfidrInstFindPortInstByDescriberName(u1, "a", &err),
                           cfidrPositionAttachMode, &err);
    cfidrNetAttachPortInst(mid, cfidrInstFindPortInstByDescriberName(u1, "y", &err),
                           cfidrPositionAttachMode, &err);
    cfidrNetAttachPortInst(mid, cfidrInstFindPortInstByDescriberName(u2, "a", &err),
                           cfidrPositionAttachMode, &err);
    cfidrNetAttachPortInst(out, cfidrInstFindPortInstByDescriberName(u2, "y", &err),
                           cfidrPositionAttachMode, &err);
    check("connect the instances");

    cfidrLibSave(lib, &err);
    check("save");
    printf("saved library demolib: cells inv and buffer\n");
    cfidrPIQuit(&err);
    return 0;
}
