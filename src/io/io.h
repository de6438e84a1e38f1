// io.h - the face of src/io for the rest of the library: stored formats.
//
// The tagged value codec (codec.h) and the view file of netlist views.
#pragma once

#include "io/codec.h"
