#pragma once
// The update window: a small window on top that shows what a web update check finds (product,
// installed and available version), asks whether to download, shows the download's progress and
// reports the outcome. RunWebUpdate makes one check with its window; the check runs in the
// background and both go when it ends.
#include <QWidget>

#include <string>

class QLabel;
class QProgressBar;
class TWebUpdate;

class TFrmWebUpdate : public QWidget {
public:
    // A window of Owner's, hooked to Update's events.
    TFrmWebUpdate(QWidget* Owner, TWebUpdate& Update);

    QLabel* Info(int I) const { return FInfo[I]; }
    QLabel* Status() const { return FStatus; }
    QProgressBar* Progress() const { return FProgress; }

private:
    TWebUpdate& Update;
    QLabel* FInfo[3];
    QLabel* FStatus;
    QProgressBar* FProgress;
};

// Set at start about once in twenty starts: the automatic check is due.
extern bool AutoUpdateDue;
void RollUpdateCheck();

// The address of the update page: RASTREL_UPDATE_URL when set, else the maker's page.
std::string UpdatePageAddress();

// Starts a check of the update page for a newer version than the running one. An automatic
// check stays silent unless it finds a newer version, and does nothing without a network. The
// check and its window are children of Form and go when the check ends. AutoUpdateDue is cleared.
// Null when nothing started.
TWebUpdate* RunWebUpdate(QWidget* Form, bool Automatic);
