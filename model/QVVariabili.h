#pragma once
// Program-wide values reached from everywhere. Used from the GUI thread only.
#include <cstdint>

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
