#pragma once
// The About box: the program's name and version, who translated the language file in use, and
// the links to the web site and the support address. The program makes it once at start, a child
// window of the main window, and frees it at the end; the help menu shows it modeless on top.
#include <QWidget>

#include <memory>
#include <string>

namespace Ui {
class TfrmAbout;
}

// "ProductName" or "FileVersion" of this program; empty for any other name.
std::string GetFileInfo(const std::string& Name);

// The translation credit for a language file name and the translator's name from that file:
// empty without a translator.
std::string TranslationCreditText(const std::string& Language, const std::string& Author);

class TfrmAbout : public QWidget {
public:
    explicit TfrmAbout(QWidget* Parent = nullptr);
    ~TfrmAbout() override;
    TfrmAbout(const TfrmAbout&) = delete;
    TfrmAbout& operator=(const TfrmAbout&) = delete;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    std::unique_ptr<Ui::TfrmAbout> ui;
};
