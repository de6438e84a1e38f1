"""The raw exports of encapsulated views, compiler options and parameters, called through _capi."""
import ctypes

from nyx import _capi


def call(name, *args):
    err = _capi.err_t(0)
    result = getattr(_capi.lib, name)(*args, ctypes.byref(err))
    return result, err.value


def test_encapsulated_view_key_and_type(session):
    lib, err = call("cfidrPICreateLib", b"L")
    cell, err = call("cfidrLibCreateCell", lib, b"top")
    view, err = call("cfidrCellCreateEncapsulatedView", cell, b"lay", b"LAYOUT", b"the key")
    assert err == 0
    assert call("cfidrEncapsulatedViewGetKey", view) == (b"the key", 0)
    assert call("cfidrViewGetViewType", view) == (b"LAYOUT", 0)
    assert call("nyxprivObjectGetCompiledFrom", view) == (b"", 15)


def test_compiler_options_parameters_and_error_function(session):
    assert call("nyxdrPISetCompilerOptions", b"-nosuchoption")[1] == 14
    param, err = call("nyxdrPICreateParameter", b"width")
    assert err == 0
    call("cfidrPropSetInt32Value", param, 3)
    it, err = call("nyxdrPIGetParameters")
    first, err = call("cfidrIterNextProp", it)
    assert call("cfidrNamedObjectGetName", first) == (b"width", 0)
    call("cfidrIterQuit", it)
    seen = []
    fn = _capi.error_func_t(lambda code, text: seen.append((code, text)))
    installed, err = call("nyxdrPISetCompilerErrorFunction", fn)
    assert err == 0
    assert ctypes.cast(installed, ctypes.c_void_p).value == ctypes.cast(fn, ctypes.c_void_p).value
    assert call("nyxdrPISetCompilerErrorFunction", _capi.error_func_t())[1] == 0
