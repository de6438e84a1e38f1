"""Python access to libnyx, the connectivity store of hierarchical circuit designs.

The package calls the installed or built libnyx.so through ctypes; nothing is compiled. A session
holds the library's state; libraries, cells, views, ports, nets, instances, port instances and
properties are objects with attributes and methods; every list is a generator; every error code is
an exception (NyxError and one subclass per code) carrying the code and the library's text.

    import nyx
    with nyx.Session() as s:
        lib = s.create_library("demolib")
        view = lib.create_cell("inv").create_netlist_view("netlist")
        view.create_port("a", "input")
        lib.save()
"""
from .errors import NyxError, error_class, error_text
from .objects import (ALL, GROUPS, MEMBERS, SCALARS, Cell, Expression, Instance, Library, Named, Net,
                      NetAlias, NetBundle, NetlistView, NetScalar, Object, OccProp, OccPropSet, Port,
                      PortBundle, PortBus, PortInstance, PortInstanceScalar, PortOccProp, PortScalar,
                      Property, View)
from .session import READ, UPDATE, Session

__all__ = ["Session", "NyxError", "error_class", "error_text", "Object", "Named", "Library", "Cell",
           "View", "NetlistView", "Port", "PortScalar", "PortBus", "PortBundle", "Net", "NetScalar",
           "NetBundle", "NetAlias", "Instance", "PortInstance", "PortInstanceScalar", "Property",
           "Expression", "OccPropSet", "OccProp", "PortOccProp", "READ", "UPDATE", "SCALARS", "GROUPS",
           "MEMBERS", "ALL"]
