#pragma once
// The program's pictures: our own drawings, made at build time into the folder "Icons" beside the
// executable, one folder per image list with a file per index ("Icons/imgListFile/03.png").
#include <QIcon>

// The picture of one index of an image list; an empty icon when it is missing.
QIcon ShellIcon(const char* List, int Index);
