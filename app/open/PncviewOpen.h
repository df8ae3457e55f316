#pragma once
// How pncview reads the file it shows, as the main window's Open command will: a DXF file is
// imported with its texts in the stroke font of slot 0, anything else is read as a drawing file.
// The caller registers the program's stroke fonts first (RegisterProgramFonts).
#include <string>

class TQV_01Cmp2D;

// Raises what the reader raises.
void OpenForViewing(const std::string& FileName, TQV_01Cmp2D& Drawing);
