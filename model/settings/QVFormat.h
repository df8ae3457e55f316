#pragma once
// Number texts of the user interface and of the files, the key filters of the numeric edit
// fields and the completeness test of their text. '.' is the decimal separator under any locale.
#include <optional>
#include <string>
#include <string_view>

// Value in the configuration's coordinate format ("%0.4f" inch, "%0.3f" mm; millimetres when
// no configuration exists) with trailing zeros and then a trailing point removed: 12.5 -> "12.5",
// 3 -> "3", 100 -> "100". A value that shows as zero never keeps a minus sign.
std::string FormatCoord(double Value);
// The same with the second format ("%0.5f" inch, "%0.3f" mm): tool and lead-in values.
std::string FormatCoord2(double Value);
std::string FormatX(double Value);  // "X" + FormatCoord
std::string FormatY(double Value);  // "Y" + FormatCoord
// " " + the coordinate text with trailing zeros removed; a point left at the end stays ("3.").
std::string FormatCoordSp(double Value);
// FormatCoordSp without a trailing point.
std::string FormatCoordSpTrim(double Value);
// Three decimals of a single-precision value, trailing zeros removed, a trailing point kept.
std::string Format3DecRaw(float Value);
// Format3DecRaw of the value in single precision, then a trailing point removed.
std::string Format3Dec(double Value);
// " 1h, 02m, 05s": hours not wrapped at a day, minutes and seconds with two digits.
std::string FormatSeconds(int Seconds);

// Fixed-point text with the given number of decimals; exact ties round to even.
std::string FormatFixed(double Value, int Decimals);
// The shortest text that reads back as exactly Value, whatever the locale or the display unit:
// '.' as the separator, plain decimals where they stay short ("0.0025", not "2.5e-03"), else
// the exponent form. For values another program or file reads back.
std::string FormatExact(double Value);

// Key filters of the numeric edit fields: a rejected key becomes '\0', which the field ignores.
//   SoloNumeriEMenoInvio: ',' -> '.'; digits, '-', '.', backspace (8), Enter (13)
//   SoloNumeriEMeno:      ',' -> '.'; digits, '-', '.', backspace
//   SoloNumeriPos:        ',' -> '.'; digits, '.', backspace
//   SoloNumeriInteri:     digits, backspace
void SoloNumeriEMenoInvio(char& Key);
void SoloNumeriEMeno(char& Key);
void SoloNumeriPos(char& Key);
void SoloNumeriInteri(char& Key);
using TKeyFilterProc = void (*)(char& Key);

// The number a user typed, when the whole text is one as the run-time conversion reads it:
// blanks around it, an optional sign ('-' or '+'), digits with at most one '.' and at least one
// digit, and an optional exponent ("1e-3"). "", "-", ".", "-.", "--", "1-", "1.2.3", "1,5" and
// "inf" are not.
std::optional<double> ParseUserNumber(std::string_view Text);
// ParseUserNumber; a text that is no number is said in a message box (caption text 450).
std::optional<double> ParseNumberOrReport(std::string_view Text);
// True when ParseUserNumber accepts the text: the change handlers test it before converting.
bool NumeroValido(std::string_view Text);
