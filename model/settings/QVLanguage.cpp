#include "QVLanguage.h"

#include "QVServices.h"

#include <climits>

#include <unistd.h>

std::unique_ptr<TMemIniFile> LanguageIni;
std::string LanguageFileName;
std::string TranslationCredit;

std::array<std::string, 18> StatePrompts;
std::array<std::string, 67> StatusMessages;

const std::array<const char*, 18> StatePromptKeys = {"470", "471", "472", "473", "474", "475",
                                                     "476", "482", "478", "477", "479", "480",
                                                     "481", "483", "484", "485", "477A", "477B"};

const std::array<TStatusMessageKey, 11> StatusMessageKeys = {{{0, "414"},
                                                              {1, "416"},
                                                              {2, "418"},
                                                              {3, "420"},
                                                              {4, "421"},
                                                              {5, "424"},
                                                              {6, "433"},
                                                              {7, "425"},
                                                              {8, "434"},
                                                              {12, "430"},
                                                              {13, "486"}}};

std::string ProgramFolder()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::unique_ptr<TMemIniFile> OpenLanguageFile(const std::string& Name)
{
    LanguageFileName = ProgramFolder() + "/" + Name + ".lng";
    auto ini = std::make_unique<TMemIniFile>(LanguageFileName);
    if (!ini->Load())
        return nullptr;
    return ini;
}

std::string LanguageFileNotFoundText() { return "Language file not found!\n" + LanguageFileName; }

std::string GetLangText(std::string_view Section, std::string_view Key)
{
    if (!LanguageIni)
        return {};
    std::string v = LanguageIni->ReadString(Section, Key, "");
    // Line breaks are written as "*|*" in the file; on screen they are plain '\n'.
    std::string out;
    out.reserve(v.size());
    size_t from = 0;
    for (size_t pos = v.find("*|*"); pos != std::string::npos; pos = v.find("*|*", from)) {
        out.append(v, from, pos - from).push_back('\n');
        from = pos + 3;
    }
    out.append(v, from, std::string::npos);
    return out;
}

std::string GetLangString(std::string_view Id) { return GetLangText("String", Id); }
std::string GetLangString(int Id) { return GetLangText("String", std::to_string(Id)); }
std::string GetLangToolWin(std::string_view Key) { return GetLangText("frmToolWin", Key); }
std::string GetLangToolWinCaption(std::string_view Name)
{
    return GetLangText("frmToolWin", std::string(Name) + ".Caption");
}
std::string GetLangMain(std::string_view Key) { return GetLangText("frmMain", Key); }
std::string GetLangMainCaption(std::string_view Name) { return GetLangText("frmMain", std::string(Name) + ".Caption"); }
std::string GetLangMainHint(std::string_view Name) { return GetLangText("frmMain", std::string(Name) + ".Hint"); }
std::string GetLangGRBLCaption(std::string_view Name) { return GetLangText("frmGRBL", std::string(Name) + ".Caption"); }

void LoadStatePrompts()
{
    for (size_t i = 0; i < StatePromptKeys.size(); ++i)
        StatePrompts[i] = GetLangString(StatePromptKeys[i]);
}

void LoadStatusMessages()
{
    for (const TStatusMessageKey& k : StatusMessageKeys)
        StatusMessages[static_cast<size_t>(k.Index)] = GetLangString(k.Key);
}

void ShowStatusMessage(const std::string& Text) { MainWindow().SetStatusMessage(Text); }
