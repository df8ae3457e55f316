#pragma once
// The stream class registrations of the drawing classes. A class's index is its identity in
// every drawing file, block library and undo record, so the numbers never change; the free ones
// stay free.
#include "QVSys.h"

// Empties the registry and registers every drawing class at its fixed index, the text label
// included once the editing subsystem has handed it over. Runs at start, before any drawing
// file or font is read.
void RegisterDrawingClasses();

// The editing subsystem's text label, registered at index 23 now and by every later
// RegisterDrawingClasses, until the registry is cleared.
void RegisterLabelClass(TGraphicClass LabelClass);
