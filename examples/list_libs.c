/* list_libs: initialises the library, lists the libraries it knows (those of the search path
 * ZIL_CFI_LIBPATH, and of the current directory when ZIL_NYX_LIBRARYMAP is "."), shows how an
 * error code reads as text, and releases the library. */
#include <stdio.h>

#include "cfidr.h"

int main(void) {
    cfidrErrorT err = 0;
    cfidrIterT libs;
    cfiOID lib;
    int count = 0;

    cfidrPIInit(&err);
    libs = cfidrPIGetLibs(&err);
    if (err != 0) {
        fprintf(stderr, "list_libs: %s\n", cfidrPIGetErrorText(err, &err));
        return 1;
    }
    for (lib = cfidrIterNextLib(libs, &err); !cfidrObjectIsNull(lib, &err);
         lib = cfidrIterNextLib(libs, &err)) {
        printf("library %s\n", cfidrNamedObjectGetName(lib, &err));
        ++count;
    }
    cfidrIterQuit(libs, &err);
    printf("%d librar%s known\n", count, count == 1 ? "y" : "ies");

    /* Asking for the type of an object that was never handed out fails; the code reads as text. */
    {
        cfiOID unknown;
        cfidrErrorT code = 0;
        unknown.object = 42;
        unknown.tag = 2 * cfidrLibType;
        cfidrObjectGetObjectType(unknown, &code);
        printf("error %d: %s\n", (int)code, cfidrPIGetErrorText(code, &err));
    }

    cfidrPIQuit(&err);
    return 0;
}
