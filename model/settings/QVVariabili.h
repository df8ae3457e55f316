#pragma once
// Program-wide values reached from everywhere. Used from the GUI thread only.
#include "QVTBase.h"

#include <cstdint>
#include <string>
#include <vector>

class TQV_01Cmp2D;
class TQV_00Prog;

// The tolerances of the geometry kernel are read through these pointers at every call, so a
// change of unit in the configuration takes effect at once. They point at built-in millimetre
// defaults until the configuration publishes its own values, so they are never null.
extern double* SystemTolRef;
extern double* ChainTolRef;
extern double* SimulTolRef;
extern int32_t* MaxCurveSegRef;

inline double SystemTol() { return *SystemTolRef; }
inline double ChainTol() { return *ChainTolRef; }
inline double SimulTol() { return *SimulTolRef; }
inline int32_t MaxCurveSeg() { return *MaxCurveSegRef; }

// Points the tolerance pointers back at the built-in defaults (for tests and at shutdown, before
// the configuration that owns the published values is freed).
void ResetToleranceRefs();

// The drawing and the interaction program; made by the main window at start, null before.
extern TQV_01Cmp2D* Drawing;
extern TQV_00Prog* CADProgram;

// Ids collected by an edit tool (or id and old-layer pairs for a move to another layer) before
// they are handed to the undo log.
extern std::vector<int32_t> UndoIdList;

// Coordinate formatter for the placement panel; the configuration points it at FormatCoord.
using TFormatCoordFunc = std::string (*)(double Value);
extern TFormatCoordFunc FormatCoordFunc;

extern TPelcFile CurrentFile;   // the file last opened or saved
extern bool UserBreak;          // Esc in the tool window; long computations stop when set
extern std::string AppTitle;    // the main window's caption is AppTitle + " - " + the file name
extern bool Tlp2DXF;            // ini key "Tlp2DXF": toolpaths go to a DXF file by default
extern bool SelectChainPoints;  // the points-and-arcs pick takes points (true) or arcs (false)
extern bool LayerOpDone;        // the next prompt change shows the move/copy-to-layer message
extern bool LayerOpPending;     // a move/copy-to-layer selection is under way

// The tool window's change handlers act only while this is set; code that fills controls
// clears it and sets it again afterwards.
extern bool ControlsReady;

// The temporary folder: a private folder (mode 0700) of this run under $TMPDIR or /tmp, with a
// trailing '/'. Empty until InitTempPath has run.
extern std::string TempPath;
// Creates the folder once and sets TempPath; answers TempPath, or an empty string (and leaves it
// empty) when no private folder can be made.
const std::string& InitTempPath();
// Removes the folder and the files in it (at close).
void RemoveTempPath();

// The per-user data area the configuration lives under: $XDG_DATA_HOME, else ~/.local/share,
// without a trailing '/'. Empty when the system cannot tell (no home folder).
void GetCommonAppDataPath(std::string& Path);
