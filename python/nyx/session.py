"""The session: the library's global state, opened and released as a context manager."""
from .objects import Library, call, iterate, wrap

READ = 1
UPDATE = 2
_MODES = {"r": READ, "read": READ, "w": UPDATE, "update": UPDATE, READ: READ, UPDATE: UPDATE}


class Session:
    """The library's process-wide state. Use it as a context manager:

        with nyx.Session() as s:
            lib = s.create_library("demolib")

    Leaving the block releases everything without saving (save libraries or views first); the
    objects handed out inside become unusable and report error 16 afterwards. The library keeps one
    state per process, so sessions do not nest.
    """
    _open = False

    def __enter__(self):
        if Session._open:
            raise RuntimeError("a nyx session is already open in this process")
        call("cfidrPIInit")
        Session._open = True
        return self

    def __exit__(self, *exc):
        Session._open = False
        call("cfidrPIQuit")
        return False

    @property
    def version(self):
        """The library's version text."""
        return call("nyxdrPIGetVersion")

    def libraries(self):
        """Generator over the known libraries."""
        return iterate("cfidrPIGetLibs", "cfidrIterNextLib")

    def create_library(self, name):
        """Creates a library (a directory found through ZIL_NYX_LIBRARYMAP), open for update."""
        return Library(call("cfidrPICreateLib", name))

    def open_library(self, name, mode="r"):
        """Opens a library for read ("r") or update ("w"). Reopening a library the session already
        knows changes its mode; the library's report of that (error 22) is not an error here."""
        return Library(call("cfidrPIOpenLib", name, _MODES[mode], ok=(22,)))

    def library(self, name):
        """The known library of that name (error 27 when there is none)."""
        return Library(call("cfidrPIFindLibByName", name))

    def open_view(self, lib, cell, view, mode="r"):
        """Opens a view by library, cell and view name, reading its stored form."""
        return wrap(call("cfidrPIOpenView", lib, cell, view, _MODES[mode]))

