#pragma once
// Every message box of the program goes through here, so that a test can answer it: with an
// answerer installed no box opens and the answerer's choice is returned.
#include "QVServices.h"

#include <functional>
#include <string>

struct TMessageRequest {
    std::string Text, Caption;
    TMsgIcon Icon = TMsgIcon::None;
    TMsgButtons Buttons = TMsgButtons::Ok;
};

using TMessageAnswerer = std::function<TMsgResult(const TMessageRequest& Request)>;

// A modal box on top of the active window, or the answerer's reply when one is installed.
TMsgResult ShowMessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons Buttons);

// Installs an answerer (null removes it) and returns the one it replaces.
TMessageAnswerer SetMessageAnswerer(TMessageAnswerer Answerer);
