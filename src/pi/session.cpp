// Start and end of the library, the mode switches, the version banner and the heap summary.
#include <cstdio>
#include <typeinfo>

#include "dm/store/store.h"
#include "pi/pi.h"

#ifndef NYX_RELEASE
#define NYX_RELEASE "0.1.0"
#endif

extern "C" {

NYX_API void cfidrPIInit(cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) { nyxpi::session(e); });
}

NYX_API void cfidrPIQuit(cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) != nullptr) nyxpi::endSession();
    });
}

NYX_API cfiOID cfidrPIGetNullId(cfidrErrorT *err) {
    return nyxpi::guard(err, nyxpi::kNullOID, [&](cfidrErrorT *e) {
        nyxpi::session(e);
        return nyxpi::kNullOID;
    });
}

NYX_API void nyxdwPIInit(cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) { cfidrPIInit(e); });
}

NYX_API void nyxdwPIQuit(cfidrErrorT *err) {
    if (err != nullptr) *err = 0;
}

// --- Modes ----------------------------------------------------------------------------------------

static void setFlag(uint32_t bit, cfiBooleanEnum on, cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return;
        if (on != 0) {
            nyx::sessionFlags |= bit;
        } else {
            nyx::sessionFlags &= ~bit;
        }
    });
}

static cfiBooleanEnum getFlag(uint32_t bit, cfidrErrorT *err) {
    return nyxpi::guard(err, cfiBooleanEnum{0}, [&](cfidrErrorT *e) {
        nyxpi::session(e);
        return cfiBooleanEnum{(nyx::sessionFlags & bit) != 0 ? 1 : 0};
    });
}

NYX_API void nyxdrPISetTrustedProgramMode(cfiBooleanEnum on, cfidrErrorT *err) {
    setFlag(nyx::kTrustedProgram, on, err);
}

NYX_API cfiBooleanEnum nyxdrPIGetTrustedProgramMode(cfidrErrorT *err) {
    return getFlag(nyx::kTrustedProgram, err);
}

NYX_API void nyxdrPISetTrustedDataMode(cfiBooleanEnum on, cfidrErrorT *err) {
    setFlag(nyx::kTrustedData, on, err);
}

NYX_API cfiBooleanEnum nyxdrPIGetTrustedDataMode(cfidrErrorT *err) {
    return getFlag(nyx::kTrustedData, err);
}

NYX_API void nyxprivPIPushExpertMode(cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return;
        if (!nyx::pushExpertMode()) nyxpi::fail(e, cfidrErrInternal);
    });
}

NYX_API void nyxprivPIPopExpertMode(cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return;
        if (!nyx::popExpertMode()) nyxpi::fail(e, cfidrErrInternal);
    });
}

// --- Version and diagnostics --------------------------------------------------------------------

NYX_API const char *nyxdrPIGetVersion(cfidrErrorT *err) {
    static char banner[256];
    return nyxpi::guard(err, "", [&](cfidrErrorT *e) -> const char * {
        if (nyxpi::session(e) == nullptr) return "";
        if (nyxSettings::hasNameOption(nyxSettings::kSchematicCompilerMode) &&
            nyxLater.svcReleaseBanner != nullptr) {
            const char *svc = nyxLater.svcReleaseBanner();
            std::snprintf(banner, sizeof banner, "XA SVC  %s", svc != nullptr ? svc : "");
        } else {
            std::snprintf(banner, sizeof banner, "nyx release %s (built %s)", NYX_RELEASE,
                          __DATE__);
        }
        return banner;
    });
}

NYX_API void nyxprivPIPrintHeapSummary(cfidrErrorT *err) {
    nyxpi::guardVoid(err, [&](cfidrErrorT *e) {
        if (nyxpi::session(e) == nullptr) return;
        std::fprintf(stderr, "%-28s %12s %12s %10s %10s %7s\n", "heap", "obtained", "in use",
                     "blocks", "free", "growths");
        for (Hx_baseheap *h = Hx_topheap::heaps(); h != nullptr; h = h->nextHeap()) {
            const Hx_genheap *g = dynamic_cast<const Hx_genheap *>(h);
            if (g == nullptr) continue;
            std::fprintf(stderr, "%-28s %12zu %12zu %10ld %10ld %7ld\n", g->name(),
                         g->bytesObtained(), g->bytesInUse(), g->blocksInUse(),
                         g->freeBlockCount(), g->growthCount());
        }
        std::fprintf(stderr, "pages: %ld committed, %ld free; %d chunks, %d large blocks\n",
                     Hx_topheap::committedPages(), Hx_topheap::freePages(),
                     Hx_topheap::chunksInUse(), Hx_topheap::largeBlocksInUse());
    });
}

} // extern "C"
