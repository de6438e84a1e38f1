"""Loading libnyx.so and declaring the C functions the package calls.

The library is found, in this order, at the path in the environment variable NYX_LIBRARY, as
libnyx.so.0 on the dynamic linker's path (an installed library, or LD_LIBRARY_PATH), and in the
build folders of a source tree that holds this package (build/default/src/libnyx.so).
"""
import ctypes
import os

err_t = ctypes.c_int32
iter_t = ctypes.c_void_p


class OID(ctypes.Structure):
    """The C identifier cfiOID: object word and tag word, passed by value."""
    _fields_ = [("object", ctypes.c_uint32), ("tag", ctypes.c_uint32)]


def _candidates():
    env = os.environ.get("NYX_LIBRARY")
    if env:
        yield env
        return
    yield "libnyx.so.0"
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    for preset in ("default", "asan"):
        yield os.path.join(root, "build", preset, "src", "libnyx.so")


def _load():
    failures = []
    for path in _candidates():
        try:
            return ctypes.CDLL(path)
        except OSError as exc:
            failures.append(str(exc))
    raise ImportError("libnyx.so not found (set NYX_LIBRARY to its path): " + "; ".join(failures))


lib = _load()

_E = ctypes.POINTER(err_t)
_S = ctypes.c_char_p
_I = ctypes.c_int32
_F = ctypes.c_float
_P = ctypes.POINTER(ctypes.c_char_p)  # a null-terminated array of names
# The compilers' error function: (code, text), nothing returned.
error_func_t = ctypes.CFUNCTYPE(None, ctypes.c_int32, ctypes.c_char_p)

# name: (result type, argument types before the error pointer)
_SIGNATURES = {
    "cfidrPIInit": (None, []), "cfidrPIQuit": (None, []),
    "cfidrPIGetErrorText": (_S, [err_t]), "nyxdwPIGetErrorText": (_S, [err_t]),
    "nyxdrPIGetVersion": (_S, []),
    "cfidrObjectIsUsable": (_I, [OID]), "cfidrObjectIsSame": (_I, [OID, OID]),
    "cfidrObjectGetObjectType": (_I, [OID]), "cfidrObjectDestroy": (None, [OID]),
    "cfidrNamedObjectGetName": (_S, [OID]), "cfidrNamedObjectSetName": (None, [OID, _S]),
    "cfidrPIGetLibs": (iter_t, []), "cfidrIterReset": (None, [iter_t]),
    "cfidrIterQuit": (None, [iter_t]),
    "cfidrObjectCreateProp": (OID, [OID, _S]), "cfidrObjectFindPropByName": (OID, [OID, _S]),
    "cfidrObjectGetProps": (iter_t, [OID]), "cfidrPropGetOwner": (OID, [OID]),
    "nyxdrPropGetValueType": (_I, [OID]),
    "cfidrPropGetBooleanValue": (_I, [OID]), "cfidrPropGetInt32Value": (_I, [OID]),
    "cfidrPropGetFloat32Value": (_F, [OID]), "cfidrPropGetStringValue": (_S, [OID]),
    "cfidrPropSetBooleanValue": (None, [OID, _I]), "cfidrPropSetInt32Value": (None, [OID, _I]),
    "cfidrPropSetFloat32Value": (None, [OID, _F]), "cfidrPropSetStringValue": (None, [OID, _S]),
    "cfidrPropSetExpressionValue": (None, [OID, _S]),
    "cfidrPICreateLib": (OID, [_S]), "cfidrPIOpenLib": (OID, [_S, _I]),
    "cfidrPIFindLibByName": (OID, [_S]), "cfidrPIOpenView": (OID, [_S, _S, _S, _I]),
    "cfidrLibCreateCell": (OID, [OID, _S]), "cfidrLibFindCellByName": (OID, [OID, _S]),
    "cfidrLibGetCells": (iter_t, [OID]), "cfidrLibSave": (None, [OID]),
    "cfidrLibPurge": (None, [OID]),
    "cfidrCellGetOwner": (OID, [OID]), "cfidrCellGetViews": (iter_t, [OID]),
    "cfidrCellFindViewByName": (OID, [OID, _S]), "cfidrCellCreateNetlistView": (OID, [OID, _S]),
    "nyxdrCellGetEntryCount": (_I, [OID]), "nyxdrCellGetEntryName": (_S, [OID, _I]),
    "nyxdrCellGetEntryKind": (_S, [OID, _I]),
    "cfidrViewGetViewType": (_S, [OID]), "cfidrViewGetOwner": (OID, [OID]),
    "cfidrViewSave": (None, [OID]), "cfidrViewPurge": (None, [OID]),
    "cfidrNetlistViewCreatePortScalar": (OID, [OID, _S, _I, _I]),
    "cfidrNetlistViewCreatePortBus": (OID, [OID, _S, _I, _I, _I]),
    "cfidrNetlistViewCreatePortBundle": (OID, [OID, _S, _I]),
    "cfidrPortBundleCreatePortScalar": (OID, [OID, _S, _I, _I]),
    "cfidrPortBundleCreatePortBus": (OID, [OID, _S, _I, _I, _I]),
    "cfidrPortBundleCreatePortBundle": (OID, [OID, _S, _I]),
    "cfidrNetlistViewFindPortByName": (OID, [OID, _S]),
    "cfidrNetlistViewGetPorts": (iter_t, [OID, _I]),
    "cfidrPortGetOwner": (OID, [OID]), "nyxdrPortGetPositionInView": (_I, [OID]),
    "cfidrPortScalarGetDirection": (_I, [OID]), "cfidrPortScalarGetNetScalar": (OID, [OID]),
    "cfidrPortBusGetStart": (_I, [OID]), "cfidrPortBusGetStep": (_I, [OID]),
    "cfidrPortBundleGetSize": (_I, [OID]), "cfidrPortBundleGetPorts": (iter_t, [OID, _I]),
    "cfidrPortBundleFindPortByName": (OID, [OID, _S]),
    "nyxdrNetlistViewGetPortCount": (_I, [OID]), "nyxdrNetlistViewGetNetCount": (_I, [OID]),
    "nyxdrNetlistViewGetInstCount": (_I, [OID]),
    "cfidrNetlistViewCreateNetScalar": (OID, [OID, _S]),
    "cfidrNetlistViewCreateNetBus": (OID, [OID, _S, _I, _I]),
    "cfidrNetlistViewCreateNetBundle": (OID, [OID, _S]),
    "cfidrNetlistViewFindNetByName": (OID, [OID, _S]),
    "cfidrNetlistViewGetNets": (iter_t, [OID, _I]),
    "cfidrNetAttachPort": (None, [OID, OID, _I]), "cfidrNetAttachPortInst": (None, [OID, OID, _I]),
    "cfidrNetDetachPort": (None, [OID, OID]), "cfidrNetDetachPortInst": (None, [OID, OID]),
    "cfidrNetGetPorts": (iter_t, [OID]), "cfidrNetGetPortInsts": (iter_t, [OID]),
    "cfidrNetGetOwner": (OID, [OID]), "nyxdrNetGetPosition": (_I, [OID]),
    "cfidrNetScalarGetIsGlobal": (_I, [OID]), "cfidrNetScalarSetIsGlobal": (None, [OID, _I]),
    "cfidrNetBundleGetNets": (iter_t, [OID, _I]), "cfidrNetBundleGetSize": (_I, [OID]),
    "nyxdrNetCreateNetAlias": (OID, [OID, _S]), "nyxdrNetGetNetAliases": (iter_t, [OID]),
    "cfidrNetlistViewCreateInst": (OID, [OID, OID, _S]),
    "cfidrNetlistViewGetInsts": (iter_t, [OID]),
    "cfidrNetlistViewFindInstByName": (OID, [OID, _S]),
    "cfidrInstGetDescriber": (OID, [OID]), "cfidrInstGetOwner": (OID, [OID]),
    "nyxdrInstGetPosition": (_I, [OID]),
    "nyxdrInstGetDescriberLibName": (_S, [OID]), "nyxdrInstGetDescriberCellName": (_S, [OID]),
    "nyxdrInstGetDescriberViewName": (_S, [OID]),
    "cfidrInstFindPortInstByDescriberName": (OID, [OID, _S]),
    "cfidrInstGetPortInsts": (iter_t, [OID, _I]),
    "cfidrPortInstGetOwner": (OID, [OID]), "cfidrPortInstGetDescriber": (OID, [OID]),
    "cfidrPortInstGetDescriberName": (_S, [OID]),
    "cfidrPortInstScalarGetDescriberDirection": (_I, [OID]),
    "cfidrPortInstScalarGetNetScalar": (OID, [OID]),
    "nyxdrCellCreateOccPropSet": (OID, [OID, _S]), "nyxdrCellFindOccPropSetByName": (OID, [OID, _S]),
    "nyxdrCellGetOccPropSets": (iter_t, [OID]), "nyxdrPIOpenOccPropSet": (OID, [_S, _S, _S, _I]),
    "nyxdrOccPropSetGetOwner": (OID, [OID]),
    "nyxdrOccPropSetCreateViewOccProp": (OID, [OID, _P]), "nyxdrOccPropSetCreateNetOccProp": (OID, [OID, _P]),
    "nyxdrOccPropSetCreatePortOccProp": (OID, [OID, _P, _P]),
    "nyxdrOccPropSetFindViewOccPropByPath": (OID, [OID, _P]),
    "nyxdrOccPropSetFindNetOccPropByPath": (OID, [OID, _P]),
    "nyxdrOccPropSetFindPortOccPropByPath": (OID, [OID, _P, _P]),
    "nyxdrOccPropSetGetViewOccProps": (iter_t, [OID]), "nyxdrOccPropSetGetNetOccProps": (iter_t, [OID]),
    "nyxdrOccPropSetGetPortOccProps": (iter_t, [OID]),
    "nyxdrOccPropGetOwner": (OID, [OID]), "nyxdrOccPropGetPath": (_P, [OID]),
    "nyxdrPortOccPropGetMemberPath": (_P, [OID]), "nyxdrOccPropGetZILPathname": (_S, [OID]),
    "nyxdrOccPropSetSave": (None, [OID]), "nyxdrOccPropSetPurge": (None, [OID]),
    "cfidrCellCreateEncapsulatedView": (OID, [OID, _S, _S, _S]),
    "cfidrEncapsulatedViewGetKey": (_S, [OID]),
    "nyxdrPISetCompilerOptions": (None, [_S]), "nyxdrPICreateParameter": (OID, [_S]),
    "nyxdrPIGetParameters": (iter_t, []),
    "nyxdrPISetCompilerErrorFunction": (error_func_t, [error_func_t]),
    "nyxprivObjectGetCompiledFrom": (_S, [OID]),
}
# Iterator steppers: every one takes the iterator and returns an identifier.
for _name in ("cfidrIterNextCell", "cfidrIterNextInst", "cfidrIterNextLib", "cfidrIterNextNet",
              "cfidrIterNextPort", "cfidrIterNextPortInst", "cfidrIterNextProp",
              "cfidrIterNextView", "nyxdrIterNextNetAlias", "nyxdrIterNextOccPropSet",
              "nyxdrIterNextOccProp"):
    _SIGNATURES[_name] = (OID, [iter_t])

for _name, (_res, _args) in _SIGNATURES.items():
    _fn = getattr(lib, _name)
    _fn.restype = _res
    _fn.argtypes = _args + [_E]
