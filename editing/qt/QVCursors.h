#pragma once
// The view's cursors by their numbers (TCursorSlot): our own images "PAN", "CROCE", "CROPF",
// "CROMP", "CROCT" and "CROPT", made at build time into the folder "cursors" beside the
// executable, each with its hot spot. A missing image falls back to a cursor of the system.
#include <QCursor>

#include <cstdint>

QCursor ViewCursor(int32_t Slot);
