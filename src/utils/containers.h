// containers.h - the heaps and the small containers every part of the library builds on. Include
// this (or the face header utils/nyx.h, which includes it) rather than the single headers.
//   heap.h       Hx_topheap, Hx_baseheap, Hx_genheap, the default-heap hooks
//   dynarray.h   nyxDynArray, a blocked pointer array
//   listblock.h  nyxListBlock, a slab of fixed-size objects
//   stringtab.h  nyxStringTab, nyxStringTabHash
//   strbuf.h     nyxVarString, nyxStringBuf, Hx_sbuf
//   oidhash.h    nyxOIDHashTable, NyxIdTab
//   bitset.h     nyxBitSet
// The open-addressing table under the hash indexes (oatable.h, nyxOATable) is included by the
// tables that use it.
#pragma once

#include "utils/heap.h"
#include "utils/dynarray.h"
#include "utils/listblock.h"
#include "utils/stringtab.h"
#include "utils/strbuf.h"
#include "utils/oidhash.h"
#include "utils/bitset.h"
