#pragma once
// The tool window: the one floating window in which every command that needs input shows its
// pages. All pages are sheets of one tab control whose tab bar shows only when a command shows
// more than one page. While it is shown the main window's input toolbars and side panel are off;
// hiding it switches them on again, cancels the running task and frees what the command made.
//
// The pages of the commands are filled by their own units (forms of their own put on the sheets,
// found by name); this unit is the frame. The program makes the window right after the main
// window, as a child of it, and frees it before the main window.
#include "QVServices.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TfrmToolWin;
}
class QTabWidget;
class TTracingPage;
class TfrmMain;

class TfrmToolWin : public QWidget, public TToolWindowServices {
public:
    // A child window of the main window, which it tells when it shows and hides.
    explicit TfrmToolWin(TfrmMain& Main);
    ~TfrmToolWin() override;
    TfrmToolWin(const TfrmToolWin&) = delete;
    TfrmToolWin& operator=(const TfrmToolWin&) = delete;

    QTabWidget* Pages() const;
    // The window's part of the start, after the language texts: the tab items' captions, the
    // tab bar hidden, the window's place kept in the settings.
    void FinishStart();

    // The page's sheet by the name of its tab item ("tabVectorize" -> sheetVectorize); null for an
    // unknown name.
    QWidget* Sheet(const std::string& Tab) const;
    // Puts Page on the sheet of Tab, filling it; the sheet owns it.
    void HostPage(const std::string& Tab, QWidget* Page);
    // The tracing page on the sheet of "tabVectorize"; Done and Close hide the window.
    TTracingPage* TracingPage = nullptr;
    // The tab items' names in the tab control's order.
    static const std::vector<std::pair<std::string, std::string>>& TabSheets();

    // A page's own handler, run by ShowPages when the page opens as the active one.
    std::map<std::string, std::function<void(QWidget* Sheet)>> TabClick;
    // What a command made for itself and the window frees when it hides: each runs once at the
    // next hide and is then dropped. Registered by the commands (placement panel, tracing ...).
    void AddHideHandler(std::function<void()> Handler);

    // ---- TToolWindowServices
    // Shows the window with the given pages, the first active; nothing at all while it shows.
    void ShowPages(const std::vector<std::string>& Tabs, const std::string& CaptionKey, int32_t ClientWidth,
                   int32_t ClientHeight) override;
    void Hide() override { hide(); }
    bool IsShowing() const override { return isVisible(); }
    std::string ControlText(const std::string& Name) const override;
    void SetControlText(const std::string& Name, const std::string& Text) override;
    bool ControlChecked(const std::string& Name) const override;
    int32_t ControlItemIndex(const std::string& Name) const override;
    std::vector<std::string> ControlItems(const std::string& Name) const override;
    void SetControlVisible(const std::string& Name, bool Visible) override;
    void FocusControl(const std::string& Name) override;

    // At the program's close: nothing the window refers to is used any more.
    void ReleaseObjects();

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void FormShow();
    void FormHide();

    std::unique_ptr<Ui::TfrmToolWin> ui;
    TfrmMain& Main;
    std::vector<std::function<void()>> FHideHandlers;
    bool FReleased = false;
};

// The tool window while the program runs; published by the program once the window is made.
extern TfrmToolWin* frmToolWin;
