"""Building, saving, reopening and walking a design through the Python objects."""
import nyx
import pytest
from conftest import build_buffer


def test_build_save_reopen_walk(session, tmp_path):
    build_buffer(session).save()
    session.library("demolib").purge()

    lib = session.open_library("demolib")
    assert sorted(c.name for c in lib) == ["buffer", "inv"]
    top = lib.cell("buffer").view("netlist")
    assert isinstance(top, nyx.NetlistView) and top.view_type == "CFIDR_NETLISTVIEW"
    assert [(p.name, p.direction) for p in top.ports()] == [("in", "input"), ("out", "output")]
    assert (top.port_count, len(list(top.nets())), len(list(top.instances()))) == (2, 3, 2)
    mid = top.net("mid")
    assert sorted((pi.instance.name, pi.name) for pi in mid.port_instances()) == [("u1", "y"), ("u2", "a")]
    u1 = top.instance("u1")
    assert u1.describer_names == ("demolib", "inv", "netlist")
    assert u1.describer.prop("strength").value == 2
    assert top.port("in").net == top.net("in")
    assert [pi.net.name for pi in u1.port_instances()] == ["in", "mid"]
    assert ("netlist" in dict((n, k) for k, n in top.cell.entries()))


def test_property_values_keep_their_python_types(session):
    cell = session.create_library("props").create_cell("c")
    values = {"flag": True, "count": -7, "ratio": 0.5, "label": "clk", "expr": nyx.Expression("w * 2")}
    for name, value in values.items():
        cell.set_prop(name, value)
    got = cell.prop_dict()
    assert got == values and type(got["flag"]) is bool and isinstance(got["expr"], nyx.Expression)
    cell.set_prop("count", "now a string")  # a property takes the type of the last value set
    assert cell.prop("count").value == "now a string"
    assert cell.prop("count").owner == cell
    with pytest.raises(TypeError):
        cell.set_prop("bad", [1])
    with pytest.raises(OverflowError):  # ctypes would cut it to 32 bits without a word
        cell.set_prop("count", 2**31)
    assert cell.set_prop("count", -2**31).value == -2**31
