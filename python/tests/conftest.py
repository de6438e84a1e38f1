"""Each test runs in its own empty directory, where libraries are created (ZIL_NYX_LIBRARYMAP=.)."""
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import nyx  # noqa: E402


@pytest.fixture
def session(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("ZIL_NYX_LIBRARYMAP", ".")
    monkeypatch.setenv("ZIL_LOCATION_MAP", "NO_MAP")
    monkeypatch.delenv("ZIL_CFI_LIBPATH", raising=False)
    with nyx.Session() as s:
        yield s


def build_buffer(s):
    """demolib: an inverter (ports a, y; a property) and a buffer chaining two of them."""
    lib = s.create_library("demolib")
    inv = lib.create_cell("inv").create_netlist_view("netlist")
    inv.create_port("a", "input")
    inv.create_port("y", "output")
    inv.set_prop("strength", 2)
    top = lib.create_cell("buffer").create_netlist_view("netlist")
    nets = {}
    for name, direction in (("in", "input"), ("out", "output")):
        nets[name] = top.create_net(name)
        nets[name].attach(top.create_port(name, direction))
    nets["mid"] = top.create_net("mid")
    for inst, a, y in (("u1", "in", "mid"), ("u2", "mid", "out")):
        u = top.create_instance(inv, inst)
        nets[a].attach(u.port_instance("a"))
        nets[y].attach(u.port_instance("y"))
    return lib
