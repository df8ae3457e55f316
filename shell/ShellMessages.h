#pragma once
// Every message box of the program goes through here, so that a test can answer it: with an
// answerer installed no box opens and the answerer's choice is returned.
#include "QVServices.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct TMessageRequest {
    std::string Text, Caption;
    TMsgIcon Icon = TMsgIcon::None;
    TMsgButtons Buttons = TMsgButtons::Ok;
    // A box with a check box: its caption, and its state, which the user (or the answerer) sets.
    std::string CheckText;
    bool* Checked = nullptr;
};

using TMessageAnswerer = std::function<TMsgResult(const TMessageRequest& Request)>;

// A modal box on top of the active window, or the answerer's reply when one is installed.
TMsgResult ShowMessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons Buttons);

// The same box with a check box under the text, starting at Checked.
TMsgResult ShowMessageBoxWithCheck(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                                   TMsgButtons Buttons, const std::string& CheckText, bool& Checked);

// Installs an answerer (null removes it) and returns the one it replaces.
TMessageAnswerer SetMessageAnswerer(TMessageAnswerer Answerer);

// The open and save dialogs go through here too: with an answerer installed no dialog opens and
// the answerer's name is returned (empty for a cancel).
struct TFileDialogRequest {
    bool Save = false;
    std::string Caption;
    // The folder to start in, or the name to start from.
    std::string Start;
    // Qt's filter text: "Drawings (*.pnc);;Any (*)".
    std::string Filter;
    // Saving: the extension (without its dot) that a name typed without one gets, before the
    // dialog asks whether to replace an existing file of that name.
    std::string DefaultSuffix;
};

using TFileDialogAnswerer = std::function<std::string(const TFileDialogRequest& Request)>;

std::string AskFileName(const TFileDialogRequest& Request);
TFileDialogAnswerer SetFileDialogAnswerer(TFileDialogAnswerer Answerer);

// The colour dialog too: with an answerer installed no dialog opens and the answerer's colour
// (0x00BBGGRR) is returned; none for a cancel.
using TColourDialogAnswerer = std::function<std::optional<int32_t>(int32_t Start)>;

std::optional<int32_t> AskColour(int32_t Start);
TColourDialogAnswerer SetColourDialogAnswerer(TColourDialogAnswerer Answerer);
