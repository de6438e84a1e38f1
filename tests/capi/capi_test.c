/* Uses the public headers from plain C99 and drives the library through libnyx.so: start and
 * end, null identifiers, error texts, modes and the session iterators. Exits 0 on success. */
#include <stdio.h>
#include <string.h>

#include "nyxtypes.h"
#include "cfidr.h"
#include "nyxdr.h"
#include "nyxdw.h"
#include "nyxpriv.h"
#ifdef NYX_HAVE_ZILERR_H
#include "zilerr.h"
#endif
#ifdef NYX_HAVE_SVC_H
#include "svc.h"
#endif

static int failures = 0;

/* The named constants are integer constant expressions in C: array sizes and case labels. */
typedef char standard_codes_end_at_53[cfidrErrSameCellInst == 53 ? 1 : -1];
typedef char extension_codes_end_at_31014[nyxdwErrParamNotFound == 31014 ? 1 : -1];

static int isIteratorError(cfidrErrorT code) {
    switch (code) {
    case cfidrErrBadIterator:
    case cfidrErrIterWrongType: return 1;
    default: return 0;
    }
}

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);               \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

int main(void) {
    cfidrErrorT err = -1;
    cfiOID null_id;
    cfidrIterT it;
    const char *text;

    cfidrPIInit(&err);
    CHECK(err == 0);

    null_id = cfidrPIGetNullId(&err);
    CHECK(null_id.object == 0 && null_id.tag == 0);
    CHECK(sizeof(cfiOID) == 8);
    CHECK(cfidrObjectIsNull(null_id, &err) == cfiTrue && err == 0);

    text = cfidrPIGetErrorText(cfidrErrObjectUnusable, &err);
    CHECK(err == 0 && strcmp(text, "The Object ID does not refer to a usable object.") == 0);
    text = cfidrPIGetErrorText(54, &err);
    CHECK(err == cfidrErrBadErrorCode && text[0] == '\0');
    text = nyxdwPIGetErrorText(nyxdwErrDivideByZero, &err);
    CHECK(err == 0 && strcmp(text, "Divide by zero.") == 0);

    /* An identifier the program made up is not usable. */
    {
        cfiOID made_up;
        made_up.object = 1234;
        made_up.tag = 2 * cfidrLibType;
        CHECK(cfidrObjectIsUsable(made_up, &err) == cfiFalse);
        CHECK(cfidrObjectGetObjectType(made_up, &err) == 0 && err == cfidrErrObjectUnusable);
    }

    /* Views open by library, cell and view name; an unknown library is not found. */
    {
        cfiOID view = cfidrPIOpenView("no such library", "cell", "view", cfidrReadMode, &err);
        CHECK(err == cfidrErrNotFound && view.object == 0);
        cfidrPIOpenView("lib", "cell", "view", 3, &err);
        CHECK(err == cfidrErrBadAccessMode);
    }

    it = cfidrPIGetLibs(&err);
    CHECK(err == 0);
    CHECK(cfidrObjectIsNull(cfidrIterNextLib(it, &err), &err) == cfiTrue);
    cfidrIterQuit(it, &err);
    CHECK(err == 0);
    cfidrIterQuit(it, &err);
    CHECK(err == cfidrErrBadIterator && isIteratorError(err));

    nyxprivPIPushExpertMode(&err);
    CHECK(nyxdrPIGetTrustedProgramMode(&err) == cfiTrue);
    nyxprivPIPopExpertMode(&err);
    CHECK(err == 0 && nyxdrPIGetTrustedProgramMode(&err) == cfiFalse);
    nyxprivPIPopExpertMode(&err);
    CHECK(err == cfidrErrInternal);

    CHECK(strncmp(nyxdrPIGetVersion(&err), "nyx", 3) == 0);

    nyxdwPIQuit(&err);
    cfidrPIQuit(&err);
    CHECK(err == 0);
    if (failures == 0) printf("capi: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
