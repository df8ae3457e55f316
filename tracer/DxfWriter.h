#pragma once
// Writes traced polylines as a text DXF file: POLYLINE entities with VERTEX records and a
// SEQEND, closed ones flagged closed (group 70, bit 1). These read the same way in every DXF
// reader, whatever it does with lightweight polylines. A dot, a polyline of one point, is a
// POINT entity: a reader shows it as a point, where a polyline of no length shows nothing.
#include "Tracer.h"

#include <ostream>
#include <string>

void WriteDxf(std::ostream& out, const TTraceResult& result);

// Writes through TFileReplace: a new file beside path takes its name only when everything was
// written, so a failure never leaves a partial file. Answers an empty string on success,
// else a one-line reason.
std::string SaveDxfFile(const std::string& path, const TTraceResult& result);
