// propInt.h - private declarations shared by the property files of src/dm.
#pragma once

#include "dm/prop/prop.h"

// The session-wide state of the property code. Everything lives in the library's heaps and is
// forgotten (not freed) when the library is released, since the heaps go at once.
struct nyxPropTables {
    static nyxPropNameTable *names;     // the name table ("NYX PropMgr Object Heap")
    static nyxOIDHashTable *onProps;    // property entry -> list of properties on it
    static nyxPropList *evalList;       // the evaluation scratch list (global heap)

    static nyxPropNameTable *makeNames();
    static void forget() {
        names = nullptr;
        onProps = nullptr;
        evalList = nullptr;
    }
};

namespace nyxDMUtil {
// The name rule of every object (defined with the stored-object code).
bool validName(const char *name);
} // namespace nyxDMUtil

// The edit bookkeeping of the netlist view that contains `owner`, an object of class `code`
// (view, port, port instance, instance, net or net alias); defined with the netlist views.
void nyxViewRecordPropChange(void *owner, uint32_t member, int32_t code);

namespace nyxPropPriv {

using nyxDMUtil::validName;

// Key of an entry in the table of properties on properties: its address as a 32-bit word. The
// key of an entry changes when its list's array moves; the list re-keys its entries then.
uint32_t entryKey(const nyxProp *entry);

// Whether the list's owner is open read-only (a list on a property asks its owner's list).
bool listReadOnly(const nyxPropList *list);

// Records the change of a property of an owner that has no list yet.
void recordOwnerChange(void *owner, uint32_t member, int32_t code);

} // namespace nyxPropPriv
