"""The nyx tool as a script sees it: exit statuses, where messages go, --json and hier."""
import glob
import json
import os
import subprocess

import nyx
import pytest

TOOL = os.environ.get("NYX_TOOL", "nyx")


def run(*args, env=None):
    return subprocess.run([TOOL, *args], capture_output=True, text=True, env=env, timeout=60)


@pytest.fixture
def design(tmp_path, monkeypatch):
    """demolib: chip holds 3 buffers, an inverter and a ghost; a buffer holds 2 inverters. The
    ghost's stored view is removed after saving, so it cannot be read."""
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("ZIL_NYX_LIBRARYMAP", ".")
    monkeypatch.setenv("ZIL_LOCATION_MAP", "NO_MAP")
    monkeypatch.delenv("ZIL_CFI_LIBPATH", raising=False)
    # Reading a cell asks the compiler rules: an empty rules file, so that stderr stays empty.
    (tmp_path / "no_compilers.rules").write_text("")
    monkeypatch.setenv("ZIL_NYX_COMPILER_RULES", str(tmp_path / "no_compilers.rules"))
    with nyx.Session() as s:
        lib = s.create_library("demolib")
        views = {name: lib.create_cell(name).create_netlist_view("netlist") for name in ("inv", "buffer", "chip", "ghost")}
        for v in (views["inv"], views["ghost"]):
            v.create_port("a", "input")
            v.create_port("y", "output")
        for i in range(2):
            views["buffer"].create_instance(views["inv"], f"u{i}")
        chip = views["chip"]
        n = chip.create_net("n0")
        n.attach(chip.create_port("in", "input"))
        for i in range(3):
            chip.create_instance(views["buffer"], f"b{i}")
        n.attach(chip.create_instance(views["inv"], "i0").port_instance("a"))
        chip.create_instance(views["ghost"], "g0")
        chip.set_prop("width", 8)
        lib.save()
    for f in glob.glob(str(tmp_path / "demolib" / "ghost" / "*")):
        os.remove(f)
    return tmp_path


def test_help_for_every_command_both_ways_and_exit_statuses(design):
    overview = run("--help")
    assert overview.returncode == 0 and "hier LIB CELL VIEW" in overview.stdout
    assert "Exit status: 0 success; 1" in overview.stdout and overview.stderr == ""
    for command in ("ls", "stats", "dump", "hier", "eval", "errors", "version"):
        by_help, by_flag = run("help", command), run(command, "--help")
        assert by_help.returncode == 0 and by_help.stdout == by_flag.stdout, command
        assert by_help.stdout.startswith(f"usage: nyx {command}"), command
    assert "--json" in run("help", "ls").stdout and "--dot" in run("help", "hier").stdout
    nothing = run()
    assert nothing.returncode == 2 and nothing.stdout == "" and "usage: nyx" in nothing.stderr
    unknown = run("help", "nosuch")
    assert unknown.returncode == 2 and unknown.stdout == "" and unknown.stderr


def test_errors_of_the_library_exit_1_with_the_message_on_stderr(design):
    for args in (("dump", "nolib", "chip", "netlist"), ("stats", "demolib", "nocell", "netlist", "--json"),
                 ("hier", "demolib", "chip", "noview", "--dot"), ("ls", "nolib", "--json")):
        r = run(*args)
        assert (r.returncode, r.stdout) == (1, ""), args
        assert r.stderr.startswith(f"nyx {args[0]}: ") and "error" in r.stderr, args
    assert run("hier", "demolib", "chip", "netlist", "--dot", "--json").returncode == 2
    assert run("stats", "demolib", "chip").returncode == 2


def test_json_of_ls_stats_and_dump_matches_the_text(design):
    libs = json.loads(run("ls", "--json").stdout)
    assert "demolib" in libs["libraries"]
    cells = json.loads(run("ls", "demolib", "--json").stdout)
    assert cells == {"library": "demolib", "cells": sorted(cells["cells"])} or cells["library"] == "demolib"
    assert sorted(cells["cells"]) == ["buffer", "chip", "ghost", "inv"]
    entries = json.loads(run("ls", "demolib", "chip", "--json").stdout)["entries"]
    text = [line.split("\t") for line in run("ls", "demolib", "chip").stdout.splitlines()]
    assert [[e["kind"], e["name"]] for e in entries] == text

    stats = json.loads(run("stats", "demolib", "chip", "netlist", "--json").stdout)
    rows = dict(line.split("\t") for line in run("stats", "demolib", "chip", "netlist").stdout.splitlines())
    assert stats == {k.replace(" ", "_"): int(v) for k, v in rows.items()}
    assert (stats["instances"], stats["properties"]) == (5, 1)

    view = json.loads(run("dump", "demolib", "chip", "netlist", "--json").stdout)
    assert (view["lib"], view["cell"], view["view"]) == ("demolib", "chip", "netlist")
    assert view["props"] == [{"name": "width", "type": "integer", "value": 8, "props": []}]
    assert view["ports"][0] == {"kind": "scalar", "name": "in", "direction": "input", "net": "n0", "props": []}
    (net,) = view["nets"]
    assert net["ports"] == ["in"] and net["portinsts"] == [{"inst": "i0", "port": "a"}]
    assert [(i["name"], i["cell"]) for i in view["instances"]] == [
        ("b0", "buffer"), ("b1", "buffer"), ("b2", "buffer"), ("i0", "inv"), ("g0", "ghost")]


def test_hier_dot_has_one_node_per_view_and_counted_edges(design):
    r = run("hier", "demolib", "chip", "netlist", "--dot")
    assert r.returncode == 0 and r.stderr == ""  # no progress when stderr is not a terminal
    lines = r.stdout.splitlines()
    assert lines[0] == "digraph hierarchy {" and lines[-1] == "}"
    nodes = [line.strip() for line in lines if "[label=" in line and "->" not in line]
    edges = [line.strip() for line in lines if "->" in line]
    assert nodes == ['v0 [label="chip\\nnetlist (demolib)", style=bold];',
                     'v1 [label="buffer\\nnetlist (demolib)"];',
                     'v2 [label="inv\\nnetlist (demolib)"];',
                     'v3 [label="ghost\\nnetlist (demolib)", style=dashed];']
    assert edges == ['v0 -> v1 [label="3"];', 'v0 -> v2 [label="1"];', 'v0 -> v3 [label="1"];',
                     'v1 -> v2 [label="2"];']

    tree = run("hier", "demolib", "chip", "netlist").stdout.splitlines()
    assert tree == ["demolib chip netlist", "  3 x demolib buffer netlist", "    2 x demolib inv netlist",
                    "  1 x demolib inv netlist", "  1 x demolib ghost netlist (cannot be read)"]
    graph = json.loads(run("hier", "demolib", "chip", "netlist", "--json").stdout)
    assert graph["top"] == {"lib": "demolib", "cell": "chip", "view": "netlist"}
    assert [(v["cell"], v["readable"], [(c["cell"], c["instances"]) for c in v["children"]]) for v in graph["views"]] == [
        ("chip", True, [("buffer", 3), ("inv", 1), ("ghost", 1)]), ("buffer", True, [("inv", 2)]),
        ("inv", True, []), ("ghost", False, [])]
