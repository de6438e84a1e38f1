// A session for the record reader's tests, streams read from memory, and a text dump of what the
// reader built, taken through the C interface, that tests compare with what they wrote.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "cfidr.h"
#include "compiler/netreader.h"
#include "nyx_protocol.h"
#include "nyxdr.h"
#include "nyxpriv.h"

namespace readertest {

class ReaderTest : public testing::Test {
protected:
    void SetUp() override {
        cfidrErrorT e = 0;
        cfidrPIInit(&e);
        ASSERT_EQ(e, 0);
    }
    void TearDown() override {
        cfidrErrorT e = 0;
        cfidrPIQuit(&e);
    }

    // Reads a stream from memory: the reader's result; `state` gets the stream's state.
    static cfidrErrorT read(const std::string &bytes, nyxCompilerStream::State *state = nullptr,
                            bool fromTabo = false) {
        nyxCompilerStream in(bytes.data(), bytes.size());
        nyxCompilerNetlist reader(in, fromTabo);
        const cfidrErrorT e = reader.read();
        if (state != nullptr) *state = in.state();
        return e;
    }
    // A read that must fail as corrupt, with nothing left of what the stream named.
    static void expectCorrupt(const std::string &bytes) {
        nyxCompilerStream::State state = nyxCompilerStream::kGood;
        EXPECT_EQ(read(bytes, &state), cfidrErrInternal);
        EXPECT_EQ(state, nyxCompilerStream::kCorrupt);
    }

    static cfiOID lib(const char *name) {
        cfidrErrorT e = 0;
        return cfidrPIFindLibByName(name, &e);
    }
    static cfiOID cell(const char *libName, const char *cellName) {
        cfidrErrorT e = 0;
        cfiOID l = lib(libName);
        return cfidrObjectIsNull(l, &e) ? l : cfidrLibFindCellByName(l, cellName, &e);
    }
    // The view the reader's lookup finds, handed out through the interface.
    static cfiOID view(const char *libName, const char *cellName, const char *viewName) {
        cfidrErrorT e = 0;
        cfiOID c = cell(libName, cellName);
        if (cfidrObjectIsNull(c, &e)) return c;
        return cfidrCellFindViewByName(c, viewName, &e);
    }
};

// --- Dump through the interface -------------------------------------------------------------------

inline std::string name(cfiOID obj) {
    cfidrErrorT e = 0;
    return cfidrNamedObjectGetName(obj, &e);
}

inline void dumpProps(cfiOID obj, std::string &out) {
    cfidrErrorT e = 0;
    cfidrIterT it = cfidrObjectGetProps(obj, &e);
    std::string inner;
    for (cfiOID p = cfidrIterNextProp(it, &e); !cfidrObjectIsNull(p, &e); p = cfidrIterNextProp(it, &e)) {
        const nyxdrValueTypeT type = nyxdrPropGetValueType(p, &e);
        inner += name(p) + ":" + std::to_string(type) + "=";
        switch (type) {
        case 1: inner += std::to_string(cfidrPropGetBooleanValue(p, &e)); break;
        case 2: inner += std::to_string(cfidrPropGetInt32Value(p, &e)); break;
        case 3: inner += std::to_string(cfidrPropGetFloat32Value(p, &e)); break;
        case 0: break;
        default: inner += std::string("'") + cfidrPropGetStringValue(p, &e) + "'"; break;
        }
        dumpProps(p, inner);
        inner += ";";
    }
    cfidrIterQuit(it, &e);
    if (!inner.empty()) out += "{" + inner + "}";
}

inline void dumpNet(cfiOID net, std::string &out) {
    cfidrErrorT e = 0;
    const cfidrObjectTypeT type = cfidrObjectGetObjectType(net, &e);
    out += std::to_string(type) + ":" + name(net);
    if (type == 11) out += "[" + std::to_string(cfidrNetBusGetStart(net, &e)) + "," + std::to_string(cfidrNetBusGetStep(net, &e)) + "]";
    if (type == 12 && cfidrNetScalarGetIsGlobal(net, &e)) out += "!";
    dumpProps(net, out);
    cfidrIterT it = nyxdrNetGetNetAliases(net, &e);
    for (cfiOID a = nyxdrIterNextNetAlias(it, &e); !cfidrObjectIsNull(a, &e); a = nyxdrIterNextNetAlias(it, &e)) {
        out += " =" + name(a) + (nyxdrNetAliasGetIsGlobal(a, &e) ? "!" : "");
        dumpProps(a, out);
    }
    cfidrIterQuit(it, &e);
    if (type != 12) {
        out += " (";
        it = cfidrNetBundleGetNets(net, cfidrTopLevelIterMode, &e);
        for (cfiOID m = cfidrIterNextNet(it, &e); !cfidrObjectIsNull(m, &e); m = cfidrIterNextNet(it, &e)) out += name(m) + " ";
        cfidrIterQuit(it, &e);
        out += ")";
    }
    out += "\n";
}

inline void dumpPort(cfiOID port, std::string &out, const std::string &indent) {
    cfidrErrorT e = 0;
    const cfidrObjectTypeT type = cfidrObjectGetObjectType(port, &e);
    out += indent + std::to_string(type) + ":" + name(port);
    if (type == 5) {
        out += " dir" + std::to_string(cfidrPortScalarGetDirection(port, &e));
        cfiOID net = cfidrPortScalarGetNetScalar(port, &e);
        if (!cfidrObjectIsNull(net, &e)) out += " @" + name(net);
    }
    if (type == 4) out += "[" + std::to_string(cfidrPortBusGetStart(port, &e)) + "," + std::to_string(cfidrPortBusGetStep(port, &e)) + "]";
    dumpProps(port, out);
    out += "\n";
    if (type == 5) return;
    cfidrIterT it = cfidrPortBundleGetPorts(port, cfidrTopLevelIterMode, &e);
    for (cfiOID m = cfidrIterNextPort(it, &e); !cfidrObjectIsNull(m, &e); m = cfidrIterNextPort(it, &e)) dumpPort(m, out, indent + "  ");
    cfidrIterQuit(it, &e);
}

inline void dumpPortInst(cfiOID pi, std::string &out, const std::string &indent) {
    cfidrErrorT e = 0;
    const cfidrObjectTypeT type = cfidrObjectGetObjectType(pi, &e);
    out += indent + std::to_string(type) + ":" + nyxdrPortInstGetRecordName(pi, &e);
    if (type == 9) {
        cfiOID net = cfidrPortInstScalarGetNetScalar(pi, &e);
        if (!cfidrObjectIsNull(net, &e)) out += " @" + name(net);
    }
    dumpProps(pi, out);
    out += "\n";
    if (type == 9) return;
    cfidrIterT it = cfidrPortInstBundleGetPortInsts(pi, cfidrTopLevelIterMode, &e);
    for (cfiOID m = cfidrIterNextPortInst(it, &e); !cfidrObjectIsNull(m, &e); m = cfidrIterNextPortInst(it, &e)) dumpPortInst(m, out, indent + "  ");
    cfidrIterQuit(it, &e);
}

// Everything a netlist view holds, in the interface's orders.
inline std::string dumpView(cfiOID view) {
    cfidrErrorT e = 0;
    std::string out = std::string("type ") + cfidrViewGetViewType(view, &e);
    dumpProps(view, out);
    out += "\n";
    cfidrIterT it = cfidrNetlistViewGetNets(view, cfidrAllIterMode, &e);
    for (cfiOID n = cfidrIterNextNet(it, &e); !cfidrObjectIsNull(n, &e); n = cfidrIterNextNet(it, &e)) dumpNet(n, out);
    cfidrIterQuit(it, &e);
    it = cfidrNetlistViewGetPorts(view, cfidrTopLevelIterMode, &e);
    for (cfiOID p = cfidrIterNextPort(it, &e); !cfidrObjectIsNull(p, &e); p = cfidrIterNextPort(it, &e)) dumpPort(p, out, "");
    cfidrIterQuit(it, &e);
    it = cfidrNetlistViewGetInsts(view, &e);
    for (cfiOID i = cfidrIterNextInst(it, &e); !cfidrObjectIsNull(i, &e); i = cfidrIterNextInst(it, &e)) {
        out += "inst " + name(i) + " of " + nyxdrInstGetDescriberLibName(i, &e) + "/" + nyxdrInstGetDescriberCellName(i, &e) +
               "/" + nyxdrInstGetDescriberViewName(i, &e);
        dumpProps(i, out);
        out += "\n";
        cfidrIterT pit = cfidrInstGetPortInsts(i, cfidrTopLevelIterMode, &e);
        for (cfiOID p = cfidrIterNextPortInst(pit, &e); !cfidrObjectIsNull(p, &e); p = cfidrIterNextPortInst(pit, &e)) {
            dumpPortInst(p, out, "  ");
        }
        cfidrIterQuit(pit, &e);
    }
    cfidrIterQuit(it, &e);
    return out;
}

} // namespace readertest
