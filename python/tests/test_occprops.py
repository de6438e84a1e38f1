"""Occurrence property sets through the Python objects: paths in and out, iteration, saving."""
import nyx
import pytest


def test_create_find_iterate_and_reopen(session):
    lib = session.create_library("occ")
    cell = lib.create_cell("top")
    s = cell.create_occprop_set("over")
    net = s.create_net(["U1", "U2", "N"])
    net.set_prop("w", 3)
    port = s.create_port(["U1", "P"], ["b", "m"])
    assert isinstance(port, nyx.PortOccProp) and port.member_path == ("b", "m")
    assert net.path == ("U1", "U2", "N") and net.pathname == "/U1/U2/N" and net.name == "/U1/U2/N"
    assert [v.pathname for v in s.views()] == ["/U1", "/U1/U2"]
    assert s.find_net(["U1", "U2", "N"]) == net and net.occprop_set == s and s.cell == cell
    with pytest.raises(nyx.NyxError) as exc:
        s.create_view([])
    assert exc.value.code == 30001
    lib.save()
    s.purge()
    again = cell.occprop_set("OVER")
    assert again.find_net(["U1", "U2", "N"]).prop("w").value == 3
    assert [p.pathname for p in again.ports()] == ["/U1/P:/b/m"]
    assert [x.name for x in cell.occprop_sets()] == ["over"]
