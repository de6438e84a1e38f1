"""Every error code of the library as an exception carrying the code and the library's own text."""
import ctypes

from ._capi import err_t, lib


def error_text(code):
    """The library's text for an error code: the base codes and the extension codes alike."""
    ignored = err_t(0)
    fn = lib.cfidrPIGetErrorText if 0 <= code <= 53 else lib.nyxdwPIGetErrorText
    return (fn(code, ctypes.byref(ignored)) or b"").decode("utf-8", "surrogateescape")


class NyxError(Exception):
    """A failure reported by libnyx. `code` is the library's error code, `text` its message.

    Each code has its own subclass (error_class(code)), so that one code can be caught alone:
    ``except nyx.error_class(27):``. Every subclass derives from NyxError.
    """
    code = None

    def __init__(self, code, text=None, where=None):
        self.code = code
        self.text = error_text(code) if text is None else text
        self.where = where
        super().__init__(f"{where}: {self.text} (error {code})" if where else f"{self.text} (error {code})")


_classes = {}


def error_class(code):
    """The exception class of one error code (made on first use, then always the same class)."""
    cls = _classes.get(code)
    if cls is None:
        cls = type(f"NyxError{code}", (NyxError,), {"__module__": __name__})
        _classes[code] = cls
    return cls


def raise_for(code, where):
    raise error_class(code)(code, where=where)
