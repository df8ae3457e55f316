#pragma once
// User-interface texts from the language file: an ini file per language in the folder
// "languages" next to the executable, with one section per form (keys "<name>.Caption",
// "<name>.Hint", "<name>.items[i]") and the section "String" of numbered texts. Several lines in
// one value are joined by "*|*".
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "IniFile.h"

// The open language file, null when the file named by the settings does not exist.
extern std::unique_ptr<TMemIniFile> LanguageIni;
// The full path of the language file last looked for; shown when it is missing.
extern std::string LanguageFileName;
// A line of the About box, filled by the About box itself.
extern std::string TranslationCredit;

// The folder of the running executable (no trailing '/'); language files are looked up from it.
std::string ProgramFolder();

// Opens ProgramFolder() + "/" + Name + ".lng" (callers pass "languages/" + the configured language)
// and sets LanguageFileName. Null when the file does not exist; a damaged file opens with what
// can be read from it.
std::unique_ptr<TMemIniFile> OpenLanguageFile(const std::string& Name);

// The message shown when a form finds no language file: "Language file not found!" and the path.
std::string LanguageFileNotFoundText();

// The value of Key in Section of LanguageIni with every "*|*" turned into a line break; empty
// when no language file is open or the key is missing.
std::string GetLangText(std::string_view Section, std::string_view Key);
std::string GetLangString(std::string_view Id);  // section "String"
std::string GetLangString(int Id);
std::string GetLangToolWin(std::string_view Key);         // "frmToolWin"
std::string GetLangToolWinCaption(std::string_view Name);  // "frmToolWin", Name + ".Caption"
std::string GetLangMain(std::string_view Key);             // "frmMain"
std::string GetLangMainCaption(std::string_view Name);     // "frmMain", Name + ".Caption"
std::string GetLangMainHint(std::string_view Name);        // "frmMain", Name + ".Hint"
std::string GetLangGRBLCaption(std::string_view Name);     // "frmGRBL", Name + ".Caption"

// The prompts of the interactive tasks and the status-bar messages of the main window, loaded
// from the section "String" at start and after each change of language.
extern std::array<std::string, 18> StatePrompts;
extern std::array<std::string, 67> StatusMessages;
void LoadStatePrompts();
void LoadStatusMessages();

// The "String" keys the two tables are filled from, by index.
extern const std::array<const char*, 18> StatePromptKeys;
struct TStatusMessageKey {
    int Index;
    const char* Key;
};
extern const std::array<TStatusMessageKey, 11> StatusMessageKeys;

// Shows Text in the main window's status bar at once.
void ShowStatusMessage(const std::string& Text);
