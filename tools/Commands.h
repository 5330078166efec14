// q6tool's commands beyond report and save.
#pragma once

#include <string>
#include <vector>

#include "Q6Unit/Q6Data.h"

class TQ6Data;

// The one document of a command. It is never released: the process ends
// right after the command, and the system takes back the memory of a million
// entities at once, where releasing them one by one takes a tenth of a
// second. (It stays reachable, so leak checkers do not count it.)
TQ6Data& CommandDocument();

// Lists every chunk of FILE and what loading did with it. Exit status 0 when
// the file loads, 1 when it does not.
int ChunksCommand(const std::string& file);

// Writes the drawing FILE as JSON to OUT, or to standard output when OUT is
// empty. Exit status 0 when written, 1 when FILE does not load or OUT cannot
// be written.
int JsonCommand(const std::string& file, const std::string& out);

// Builds a drawing from the JSON file IN and saves it as OUT. Exit status 0
// when saved, 1 when IN cannot be read or holds a bad value (nothing is
// written then) or OUT cannot be saved.
int BuildCommand(const std::string& in, const std::string& out);

// q6tool dxf FILE OUT [--assume KEY=VALUE]...: the scene of FILE as DXF.
// Exit status 0 when written, 1 when FILE does not load or OUT cannot be
// written, 2 for a usage error. `args` are the arguments after "dxf".
int DxfCommand(const std::vector<std::string>& args);

// Draws a drawing into an SVG, PNG or PDF file: q6tool render FILE OUT
// [--size WxH] [--view X0,Y0,X1,Y1] [--assume KEY=VALUE]... (args without
// the command's name). Exit status 0 when written, 1 when FILE does not load
// or OUT cannot be written, 2 for a usage error.
int RenderCommand(const std::vector<std::string>& args);

// The open flow of the commands: true when the drawing loaded; otherwise the
// viewer's failure line on standard output and the cause on standard error.
class TQ6Data;
bool OpenOrExplain(TQ6Data& doc, const std::string& fn);
// The same with every entity handed to `entities` instead of kept.
bool OpenOrExplain(TQ6Data& doc, const std::string& fn, const EntitySink& entities);

// Prints the JSON Schema of what `json` writes and `build` reads.
int SchemaCommand();

// Records why a write to standard output failed (an errno value), for the
// message that q6tool prints when it closes standard output at exit.
void NoteStdoutError(int err);
