// netlist.h - the face of the netlist room of the data model for the rest of the library:
// netlist views and what they hold (nets, ports, instances, port instances and the describer
// records of instances). Code outside src/dm includes this header, never the class headers
// below or a private *Int.h of the room.
//
// Readers of stored views build through the builders of this room (nyxNet::build, buildAlias,
// buildMember, buildAttach, nyxPort::build, nyxNetlistView::buildProp, and for instances
// nyxInstance::footPrintFromStored, setPort, createInstanceOf and nyxPortInst::attachTrusted):
// they never load the view, run none of the interface's checks and do no edit bookkeeping; each
// states the preconditions its caller checks. A read ends with nyxNetlistView::readFinished; the
// loaded state belongs to nyxDMObj (store.h).
//
// Layering inside the data model: the property room (dm/prop/prop.h) stands alone, the stored-
// objects room (dm/store/store.h) builds on it, and this room builds on both. A lower room never
// includes a higher one.
#pragma once

#include "dm/netlist/view.h"
#include "dm/netlist/net.h"
#include "dm/netlist/port.h"
#include "dm/netlist/inst.h"
#include "dm/netlist/portinst.h"

// Installs the class rows of every class of the data model (1-14 and 20) and the type-table rows
// of netlist views: the session code's first start step.
void nyxDMInstall();
