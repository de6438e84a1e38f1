#!/usr/bin/env python3
"""Builds a small two-level design, saves it, reopens it and walks it.

Run from anywhere: the design is made in a temporary directory. The package finds libnyx.so as
described in python/nyx/_capi.py (NYX_LIBRARY, an installed library, or a build of this tree).
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
import nyx  # noqa: E402


def build(session):
    lib = session.create_library("demolib")
    inv = lib.create_cell("inv").create_netlist_view("netlist")
    inv.create_port("a", "input")
    inv.create_port("y", "output")
    inv.set_prop("strength", 2)
    top = lib.create_cell("buffer").create_netlist_view("netlist")
    wire = {name: top.create_net(name) for name in ("in", "mid", "out")}
    wire["in"].attach(top.create_port("in", "input"))
    wire["out"].attach(top.create_port("out", "output"))
    for name, a, y in (("u1", "in", "mid"), ("u2", "mid", "out")):
        u = top.create_instance(inv, name)
        wire[a].attach(u.port_instance("a"))
        wire[y].attach(u.port_instance("y"))
    lib.save()


def walk(view, depth=0):
    pad = "  " * depth
    nets, insts = list(view.nets()), list(view.instances())
    print(f"{pad}{view.cell.name}/{view.name}: {view.port_count} ports, {len(nets)} nets, "
          f"{len(insts)} instances {view.prop_dict() or ''}".rstrip())
    for net in nets:
        pins = [f"{pi.instance.name}.{pi.name}" for pi in net.port_instances()]
        pins += [f"port {p.name}" for p in net.ports()]
        print(f"{pad}  net {net.name}: {', '.join(pins)}")
    for inst in insts:
        print(f"{pad}  instance {inst.name} of {'/'.join(inst.describer_names)}")
        walk(inst.describer, depth + 2)


def main():
    with tempfile.TemporaryDirectory() as where:
        os.chdir(where)
        os.environ.update(ZIL_NYX_LIBRARYMAP=".", ZIL_LOCATION_MAP="NO_MAP")
        with nyx.Session() as s:
            build(s)
            print("saved demolib; reopening it read-only")
        with nyx.Session() as s:
            lib = s.open_library("demolib")
            print("cells:", ", ".join(c.name for c in lib))
            walk(lib.cell("buffer").view("netlist"))
        os.chdir("/")


if __name__ == "__main__":
    try:
        main()
    except nyx.NyxError as e:
        print(f"walk_design: {e}", file=sys.stderr)
        sys.exit(1)
