// containers.h - the small containers every part of the library builds on. Include this (or the
// face header utils/nyx.h, which includes it) rather than the single headers.
#pragma once

#include "utils/heap.h"
#include "utils/dynarray.h"
