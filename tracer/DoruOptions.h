#pragma once
// The doru command line: -et E -fi F -ct C -outfile OUT [-cline] INPUT.bmp, in any order,
// numbers written with '.'.
#include "Tracer.h"

#include <string>
#include <vector>

struct TDoruOptions {
    TTraceParams Params = TraceDefaults();
    std::string OutFile;
    std::string InFile;
};

// Parses the arguments after the program name. On a bad command line answers false and sets
// error to a one-line message.
bool ParseDoruOptions(const std::vector<std::string>& args, TDoruOptions& options, std::string& error);
