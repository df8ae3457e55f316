#pragma once
// Applies a language file to whole windows through the objectName of their widgets and actions.
#include <vector>

class QWidget;
class TMemIniFile;

// For each window F (section = F's objectName): key "<F>.Caption" sets its window title; for every
// named widget or action inside F (not inside another window it holds), "<name>.Caption" sets its
// text, title or tab text and "<name>.Hint" its tool tip, and "<name>.items[i]" replaces item i
// of a combo box or radio group (items are never added). Missing or empty values leave the
// designed text; values are used as read ("*|*" stays). With no language file it shows
// "Language file not found!" with the path and changes nothing.
void TranslateComponents(const std::vector<QWidget*>& Forms, const TMemIniFile* Ini);
