"""Objects of a design: libraries, cells, views, ports, nets, instances, port instances and
properties, each a thin handle over the library's identifier."""
import ctypes

from ._capi import OID, err_t, lib
from .errors import raise_for

# Iteration modes of port and net iterators.
SCALARS, GROUPS, MEMBERS, ALL = 1, 2, 3, 4
# Port directions.
DIRECTIONS = {"undefined": 0, "input": 1, "output": 2, "inout": 3}
DIRECTION_NAMES = {v: k for k, v in DIRECTIONS.items()}


def _arg(value):
    if isinstance(value, str):
        return value.encode("utf-8")
    if isinstance(value, (list, tuple)):  # a path: a null-terminated array of names
        return (ctypes.c_char_p * (len(value) + 1))(*[v.encode("utf-8") for v in value], None)
    if isinstance(value, Object):
        return value.oid
    return value


def call(name, *args, ok=()):
    """Calls a C function with the error pointer last; raises the error's exception unless its
    code is 0 or in `ok`. Strings go in and come out as str."""
    err = err_t(0)
    result = getattr(lib, name)(*[_arg(a) for a in args], ctypes.byref(err))
    if err.value != 0 and err.value not in ok:
        raise_for(err.value, name)
    if isinstance(result, bytes):
        return result.decode("utf-8", "surrogateescape")
    if isinstance(result, ctypes.POINTER(ctypes.c_char_p)):
        names = []
        while result and result[len(names)] is not None:
            names.append(result[len(names)].decode("utf-8", "surrogateescape"))
        return tuple(names)
    return result


def iterate(getter, stepper, *args):
    """Generator over an iterator of the library: steps it until exhausted and always quits it,
    also when the caller stops early or an error is raised."""
    it = call(getter, *args)
    try:
        while True:
            oid = call(stepper, it)
            if oid.object == 0:
                return
            yield wrap(oid)
    finally:
        ignored = err_t(0)
        lib.cfidrIterQuit(it, ctypes.byref(ignored))


class Object:
    """Any object of the library. Two handles are equal when they name the same object."""
    __slots__ = ("oid",)

    def __init__(self, oid):
        self.oid = oid

    def __eq__(self, other):
        return isinstance(other, Object) and (self.oid.object, self.oid.tag) == (other.oid.object, other.oid.tag)

    def __hash__(self):
        return hash((self.oid.object, self.oid.tag))

    def __repr__(self):
        try:
            label = repr(self.name)
        except Exception:  # noqa: BLE001 - a repr must not fail on a withdrawn identifier
            label = f"#{self.oid.object:x}"
        return f"<nyx.{type(self).__name__} {label}>"

    @property
    def usable(self):
        """True while the identifier names a live object."""
        return bool(call("cfidrObjectIsUsable", self))

    @property
    def type_code(self):
        """The object's class code (cfidrObjectGetObjectType)."""
        return call("cfidrObjectGetObjectType", self)

    def destroy(self):
        """Destroys the object with everything it contains."""
        call("cfidrObjectDestroy", self)

    # Properties.
    def props(self):
        """Generator over the object's properties."""
        return iterate("cfidrObjectGetProps", "cfidrIterNextProp", self)

    def prop(self, name):
        """The property of that name (error 27 when there is none)."""
        return Property(call("cfidrObjectFindPropByName", self, name))

    def set_prop(self, name, value):
        """Creates the property when missing and sets its value; returns the property."""
        found = call("cfidrObjectFindPropByName", self, name, ok=(27,))
        p = Property(found if found.object != 0 else call("cfidrObjectCreateProp", self, name))
        p.value = value
        return p

    def prop_dict(self):
        """The properties as a dict of name to value."""
        return {p.name: p.value for p in self.props()}


class Named(Object):
    __slots__ = ()

    @property
    def name(self):
        return call("cfidrNamedObjectGetName", self)

    @name.setter
    def name(self, value):
        call("cfidrNamedObjectSetName", self, value)


class Expression(str):
    """A property value given as an expression text, stored unevaluated."""


class Property(Named):
    __slots__ = ()

    @property
    def owner(self):
        return wrap(call("cfidrPropGetOwner", self))

    @property
    def value_type(self):
        """Stored value type: 0 none, 1 boolean, 2 integer, 3 float, 5 string, 7 triplet, 8 case
        triplet, 9 expression."""
        return call("nyxdrPropGetValueType", self)

    @property
    def value(self):
        """The value as bool, int, float or str (an Expression for expressions); None when unset."""
        kind = self.value_type
        if kind == 0:
            return None
        if kind == 1:
            return bool(call("cfidrPropGetBooleanValue", self))
        if kind == 2:
            return call("cfidrPropGetInt32Value", self)
        if kind == 3:
            return call("cfidrPropGetFloat32Value", self)
        text = call("cfidrPropGetStringValue", self)
        return Expression(text) if kind == 9 else text

    @value.setter
    def value(self, value):
        if isinstance(value, bool):
            call("cfidrPropSetBooleanValue", self, int(value))
        elif isinstance(value, int):
            if not -2**31 <= value < 2**31:
                raise OverflowError(f"an integer property holds 32 bits; {value} does not fit")
            call("cfidrPropSetInt32Value", self, value)
        elif isinstance(value, float):
            call("cfidrPropSetFloat32Value", self, value)
        elif isinstance(value, Expression):
            call("cfidrPropSetExpressionValue", self, value)
        elif isinstance(value, str):
            call("cfidrPropSetStringValue", self, value)
        else:
            raise TypeError(f"a property holds bool, int, float or str, not {type(value).__name__}")


class Library(Named):
    __slots__ = ()

    def __iter__(self):
        return self.cells()

    def cells(self):
        """Generator over the library's cells."""
        return iterate("cfidrLibGetCells", "cfidrIterNextCell", self)

    def cell(self, name):
        return Cell(call("cfidrLibFindCellByName", self, name))

    def create_cell(self, name):
        return Cell(call("cfidrLibCreateCell", self, name))

    def save(self):
        """Saves every changed view and property file of the library."""
        call("cfidrLibSave", self)

    def purge(self):
        """Drops the library from memory without saving; its objects become unusable."""
        call("cfidrLibPurge", self)


class Cell(Named):
    __slots__ = ()

    @property
    def library(self):
        return Library(call("cfidrCellGetOwner", self))

    def __iter__(self):
        return self.views()

    def views(self):
        """Generator over the cell's views."""
        return iterate("cfidrCellGetViews", "cfidrIterNextView", self)

    def view(self, name):
        return wrap(call("cfidrCellFindViewByName", self, name))

    def create_netlist_view(self, name):
        return NetlistView(call("cfidrCellCreateNetlistView", self, name))

    def occprop_sets(self):
        """Generator over the cell's occurrence property sets."""
        return iterate("nyxdrCellGetOccPropSets", "nyxdrIterNextOccPropSet", self)

    def occprop_set(self, name):
        return OccPropSet(call("nyxdrCellFindOccPropSetByName", self, name))

    def create_occprop_set(self, name):
        return OccPropSet(call("nyxdrCellCreateOccPropSet", self, name))

    def entries(self):
        """Generator over the cell's stored objects as (kind, name) pairs of str."""
        for i in range(call("nyxdrCellGetEntryCount", self)):
            yield call("nyxdrCellGetEntryKind", self, i), call("nyxdrCellGetEntryName", self, i)


class View(Named):
    __slots__ = ()

    @property
    def cell(self):
        return Cell(call("cfidrViewGetOwner", self))

    @property
    def view_type(self):
        return call("cfidrViewGetViewType", self)

    def save(self):
        call("cfidrViewSave", self)

    def purge(self):
        call("cfidrViewPurge", self)


def _direction(direction):
    return DIRECTIONS[direction] if isinstance(direction, str) else direction


class NetlistView(View):
    __slots__ = ()

    # Ports.
    def ports(self, mode=MEMBERS):
        """Generator over the ports: by default the top-level ones; mode ALL walks every depth."""
        return iterate("cfidrNetlistViewGetPorts", "cfidrIterNextPort", self, mode)

    def port(self, name):
        return wrap(call("cfidrNetlistViewFindPortByName", self, name))

    def create_port(self, name, direction="undefined", position=-1):
        """Creates a port scalar; direction "input", "output", "inout" or "undefined"."""
        return wrap(call("cfidrNetlistViewCreatePortScalar", self, name, position, _direction(direction)))

    def create_port_bus(self, name, start=0, step=1, position=-1):
        return wrap(call("cfidrNetlistViewCreatePortBus", self, name, position, start, step))

    def create_port_bundle(self, name, position=-1):
        return wrap(call("cfidrNetlistViewCreatePortBundle", self, name, position))

    @property
    def port_count(self):
        """The number of ports of every depth."""
        return call("nyxdrNetlistViewGetPortCount", self)

    # Nets.
    def nets(self, mode=MEMBERS):
        """Generator over the nets: by default the top-level ones; mode ALL walks every depth."""
        return iterate("cfidrNetlistViewGetNets", "cfidrIterNextNet", self, mode)

    def net(self, name):
        return wrap(call("cfidrNetlistViewFindNetByName", self, name))

    def create_net(self, name):
        return wrap(call("cfidrNetlistViewCreateNetScalar", self, name))

    def create_net_bus(self, name, start=0, step=1):
        return wrap(call("cfidrNetlistViewCreateNetBus", self, name, start, step))

    @property
    def net_positions(self):
        """The number of net positions (slots, free ones included): nyxdrNetlistViewGetNetCount."""
        return call("nyxdrNetlistViewGetNetCount", self)

    # Instances.
    def instances(self):
        """Generator over the instances."""
        return iterate("cfidrNetlistViewGetInsts", "cfidrIterNextInst", self)

    def instance(self, name):
        return Instance(call("cfidrNetlistViewFindInstByName", self, name))

    def create_instance(self, describer, name):
        """Creates an instance of the view `describer` with its port instances."""
        return Instance(call("cfidrNetlistViewCreateInst", self, describer, name))

    @property
    def instance_positions(self):
        """The number of instance positions (slots, free ones included)."""
        return call("nyxdrNetlistViewGetInstCount", self)


class Port(Named):
    __slots__ = ()

    @property
    def owner(self):
        """The view, or the bus or bundle that holds the port."""
        return wrap(call("cfidrPortGetOwner", self))

    @property
    def position(self):
        return call("nyxdrPortGetPositionInView", self)


class PortScalar(Port):
    __slots__ = ()

    @property
    def direction(self):
        return DIRECTION_NAMES.get(call("cfidrPortScalarGetDirection", self), "undefined")

    @property
    def net(self):
        """The attached net, or None."""
        return wrap(call("cfidrPortScalarGetNetScalar", self))


class PortBundle(Port):
    __slots__ = ()

    def __len__(self):
        return call("cfidrPortBundleGetSize", self)

    def ports(self, mode=MEMBERS):
        return iterate("cfidrPortBundleGetPorts", "cfidrIterNextPort", self, mode)

    def port(self, name):
        return wrap(call("cfidrPortBundleFindPortByName", self, name))

    def create_port(self, name, direction="undefined", position=-1):
        return wrap(call("cfidrPortBundleCreatePortScalar", self, name, position, _direction(direction)))


class PortBus(PortBundle):
    __slots__ = ()

    @property
    def start(self):
        return call("cfidrPortBusGetStart", self)

    @property
    def step(self):
        return call("cfidrPortBusGetStep", self)


class Net(Named):
    __slots__ = ()

    @property
    def owner(self):
        return wrap(call("cfidrNetGetOwner", self))

    @property
    def position(self):
        return call("nyxdrNetGetPosition", self)


class NetScalar(Net):
    __slots__ = ()

    def attach(self, target):
        """Connects a port scalar or a port instance scalar to the net."""
        fn = "cfidrNetAttachPortInst" if isinstance(target, PortInstance) else "cfidrNetAttachPort"
        call(fn, self, target, 1)

    def detach(self, target):
        fn = "cfidrNetDetachPortInst" if isinstance(target, PortInstance) else "cfidrNetDetachPort"
        call(fn, self, target)

    def ports(self):
        """Generator over the view's ports on this net."""
        return iterate("cfidrNetGetPorts", "cfidrIterNextPort", self)

    def port_instances(self):
        """Generator over the port instances on this net."""
        return iterate("cfidrNetGetPortInsts", "cfidrIterNextPortInst", self)

    def aliases(self):
        return iterate("nyxdrNetGetNetAliases", "nyxdrIterNextNetAlias", self)

    def create_alias(self, name):
        return wrap(call("nyxdrNetCreateNetAlias", self, name))

    @property
    def is_global(self):
        return bool(call("cfidrNetScalarGetIsGlobal", self))

    @is_global.setter
    def is_global(self, value):
        call("cfidrNetScalarSetIsGlobal", self, int(bool(value)))


class NetBundle(Net):
    __slots__ = ()

    def __len__(self):
        return call("cfidrNetBundleGetSize", self)

    def nets(self, mode=MEMBERS):
        return iterate("cfidrNetBundleGetNets", "cfidrIterNextNet", self, mode)


class NetAlias(Named):
    __slots__ = ()


class Instance(Named):
    __slots__ = ()

    @property
    def owner(self):
        return NetlistView(call("cfidrInstGetOwner", self))

    @property
    def describer(self):
        """The instantiated view (read when needed)."""
        return wrap(call("cfidrInstGetDescriber", self))

    @property
    def describer_names(self):
        """(library, cell, view) names of the instantiated view, without reading it."""
        return (call("nyxdrInstGetDescriberLibName", self), call("nyxdrInstGetDescriberCellName", self),
                call("nyxdrInstGetDescriberViewName", self))

    @property
    def position(self):
        return call("nyxdrInstGetPosition", self)

    def port_instances(self, mode=MEMBERS):
        return iterate("cfidrInstGetPortInsts", "cfidrIterNextPortInst", self, mode)

    def port_instance(self, name):
        """The port instance of the describer's port of that name."""
        return wrap(call("cfidrInstFindPortInstByDescriberName", self, name))


class PortInstance(Object):
    __slots__ = ()

    @property
    def name(self):
        """The name of the describer's port."""
        return call("cfidrPortInstGetDescriberName", self)

    @property
    def instance(self):
        return Instance(call("cfidrPortInstGetOwner", self))

    @property
    def port(self):
        return wrap(call("cfidrPortInstGetDescriber", self))


class PortInstanceScalar(PortInstance):
    __slots__ = ()

    @property
    def direction(self):
        return DIRECTION_NAMES.get(call("cfidrPortInstScalarGetDescriberDirection", self), "undefined")

    @property
    def net(self):
        return wrap(call("cfidrPortInstScalarGetNetScalar", self))


class OccPropSet(Named):
    """Property values for single occurrences of a design whose top is a view of the cell,
    keyed by paths: sequences of names from the top down."""
    __slots__ = ()

    @property
    def cell(self):
        return Cell(call("nyxdrOccPropSetGetOwner", self))

    def create_view(self, path):
        return wrap(call("nyxdrOccPropSetCreateViewOccProp", self, path))

    def create_net(self, path):
        return wrap(call("nyxdrOccPropSetCreateNetOccProp", self, path))

    def create_port(self, path, member=()):
        return wrap(call("nyxdrOccPropSetCreatePortOccProp", self, path, member))

    def find_view(self, path):
        return wrap(call("nyxdrOccPropSetFindViewOccPropByPath", self, path))

    def find_net(self, path):
        return wrap(call("nyxdrOccPropSetFindNetOccPropByPath", self, path))

    def find_port(self, path, member=()):
        return wrap(call("nyxdrOccPropSetFindPortOccPropByPath", self, path, member))

    def views(self):
        """Generator over the view occurrence properties, depth first from the top."""
        return iterate("nyxdrOccPropSetGetViewOccProps", "nyxdrIterNextOccProp", self)

    def nets(self):
        return iterate("nyxdrOccPropSetGetNetOccProps", "nyxdrIterNextOccProp", self)

    def ports(self):
        return iterate("nyxdrOccPropSetGetPortOccProps", "nyxdrIterNextOccProp", self)

    def save(self):
        call("nyxdrOccPropSetSave", self)

    def purge(self):
        """Drops the set from memory without saving; it and its nodes become unusable."""
        call("nyxdrOccPropSetPurge", self)


class OccProp(Named):
    """A view, net or port occurrence property; its name is its pathname."""
    __slots__ = ()

    @property
    def occprop_set(self):
        return OccPropSet(call("nyxdrOccPropGetOwner", self))

    @property
    def path(self):
        return call("nyxdrOccPropGetPath", self)

    @property
    def pathname(self):
        return call("nyxdrOccPropGetZILPathname", self)


class PortOccProp(OccProp):
    __slots__ = ()

    @property
    def member_path(self):
        return call("nyxdrPortOccPropGetMemberPath", self)


_CLASSES = {1: Library, 2: Cell, 3: PortBundle, 4: PortBus, 5: PortScalar, 6: Instance,
            7: PortInstance, 8: PortInstance, 9: PortInstanceScalar, 10: NetBundle, 11: NetBundle,
            12: NetScalar, 13: Property, 14: NetlistView, 15: View, 20001: NetAlias,
            20003: OccPropSet, 20005: OccProp, 20006: OccProp, 20007: PortOccProp}


def wrap(oid):
    """The Python object of an identifier, of its own class; None for the null identifier."""
    if oid.object == 0:
        return None
    return _CLASSES.get(call("cfidrObjectGetObjectType", oid), Object)(oid)
