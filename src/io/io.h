// io.h - the face of src/io for the rest of the library: stored formats.
//
// The tagged value codec (codec.h), the text-file layer of the line-oriented formats
// (textfile.h) and the view file of netlist views.
#pragma once

#include "io/codec.h"
#include "io/textfile.h"

#include <string>

#include <cstddef>

#include "dm/store/store.h"

class nyxNetlistView;

// The view file of netlist views
// ------------------------------
// A netlist view is stored in one file, "<view path>.nyxNetlistView" (or "<view path>.nyx" for a
// view listed from the older file form), in the record layout documented in io/viewfile.h. This
// folder installs read and write into the type-table rows of netlist views, and the header probe
// that tells the two view kinds of the older form apart (install, a step of the session code's
// start list).
//
// The reader builds the view through the unchecked builders of the netlist face (never through
// a checked operation, which would load the view again in the middle of its read) and reports an
// error code; it neither marks the view nor empties it. On failure the data model
// (nyxDMObj::openObj) empties the view through nyxNetlistView::emptyStored and marks it failed:
// the view stays listed in its cell, no half-built net, port, instance, describer record or
// property stays reachable, every later touch reads the file again and reports the error again,
// and a save of the view reports it and writes nothing. Codes: 27 the file cannot be opened or read; 4 the marker, format
// version (above 0) or kind ('N') is wrong, the data is cut short or corrupt (reported on the
// standard error stream as "I/O Error while reading view data."), or memory ran out. Corrupt
// includes ids that name nothing read before (nets, describer records, property names) and port
// instance records that do not follow the shape of their instance's describer record.
//
// Describer records are read as stored and the describers themselves are not opened: a view can
// be read, walked and saved without the views it instantiates. A record that no instance of the
// file uses is not kept.
namespace nyxViewIO {

// Installs read, write and the header probe into the type-table rows.
void install();

// The write operation of the rows: writes the view's file through the durable replacement of the
// file layer. 4 when the file cannot be written, or when a count exceeds what the format holds
// (more than 65535 properties in one list or property names in one file).
void write(nyxDMObj *view, const char *path, cfidrErrorT *err);
// The read operation of the rows: loads a listed view (see above for failures).
void read(nyxDMObj *view, const char *path, cfidrErrorT *err);

// The same two over memory, for tests and the fuzz target. encode does not clear the view's
// changed flag; decode fills a view that holds nothing yet and, on failure, empties it as the
// data model does after a failed read (the view's loaded state stays as it was).
bool encode(nyxNetlistView *view, nyxTagSink &sink, cfidrErrorT *err);
void decode(nyxNetlistView *view, const void *data, size_t size, cfidrErrorT *err);

// Whether the file at path starts with the header of view kind `code` (14 netlist, 15
// encapsulated): the marker, a format version of at most 0, and the kind letter.
bool headerNames(const char *path, int32_t code);
// The same over the first bytes of a file (the fuzz target).
bool headerBytesName(const void *data, size_t size, int32_t code);

// The view type stored in the header of the view file at path, read without the rest of the file
// (the view name and type follow the kind). False when the file cannot be read or its header is
// not that of a view file.
bool readViewType(const char *path, std::string &type);

} // namespace nyxViewIO

// The encapsulated view file
// --------------------------
// An encapsulated view is stored in "<view path>.nyxEncapsulatedView" (or "<view path>.nyx" for
// one listed from the older form): the header of the view file with kind 'E', its name, view
// type and key, its properties and the dictionary of their names (layout beside the reader and
// writer in encviewfile.cpp). Written through the durable replacement of the file layer; read
// whole, as hostile input, on first use. Read codes: 27 the file cannot be opened or read; 4 the
// marker, format version (above 0) or kind ('E') is wrong, the data is cut short or corrupt
// (reported on the standard error stream as "I/O Error while reading view data."), the file is
// larger than any the writer makes, or memory ran out. As for netlist views, the reader reports
// the error and the data model empties the view and marks it failed.
namespace nyxEncViewIO {

// Installs read and write into the type-table rows of encapsulated views.
void install();

// The row operations: write the view's file (4 when it cannot be written, a count exceeds what
// the format holds, or the file would exceed 64 MiB, the most a reader takes), read a listed
// view.
void write(nyxDMObj *view, const char *path, cfidrErrorT *err);
void read(nyxDMObj *view, const char *path, cfidrErrorT *err);

// The same two over memory, for tests and the fuzz target. decode fills a view that holds
// nothing yet, in expert mode, and on failure empties it as the data model does.
bool encode(nyxEncapsulatedView *view, nyxTagSink &sink, cfidrErrorT *err);
void decode(nyxEncapsulatedView *view, const std::string &data, cfidrErrorT *err);

} // namespace nyxEncViewIO
