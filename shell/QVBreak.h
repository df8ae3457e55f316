#pragma once
// The progress of a long job that runs on the GUI thread, shown in the main window's status bar
// in place of another item (the coordinate read-out). Step is cheap enough for a tight loop: the
// bar moves and pending events are processed at most once a second, and Step tells whether the
// user pressed Esc in the tool window (UserBreak).
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

class QProgressBar;
class QWidget;

// Raised by a job that stops on the user's request; the command that started the job catches it
// at its top and puts the drawing back as it was.
class EUserBreak : public std::runtime_error {
public:
    EUserBreak() : std::runtime_error("Stopped by the user.") {}
};

class TUserBreak_ProgBar {
public:
    TUserBreak_ProgBar();
    ~TUserBreak_ProgBar();
    TUserBreak_ProgBar(const TUserBreak_ProgBar&) = delete;
    TUserBreak_ProgBar& operator=(const TUserBreak_ProgBar&) = delete;

    // Milliseconds between two updates of the bar.
    static constexpr uint32_t StepInterval = 1000;

    // Neither control is owned; both outlive the object.
    void Attach(QWidget* Hidden, QProgressBar* Bar, bool PercentCaption);
    // Shows the bar in place of the hidden control and clears a break request left from before,
    // so that an Esc pressed while nothing ran does not stop this job. Until Finish, Esc pressed
    // in any window of the program asks for the break, as Esc in the tool window always does.
    void Start();
    // True when the user asked to break off: the first time with a warning box, afterwards
    // silently. Position Current / Total, clamped to 0-100 (0 for a Total of 0 or below).
    bool Step(int32_t Total, int32_t Current);
    // Hides the bar, shows the hidden control again and clears the status message.
    void Finish();

    // The millisecond clock; tests set their own.
    std::function<uint32_t()> TickCount;

private:
    uint32_t Now() const;

    QWidget* FHidden = nullptr;
    QProgressBar* FBar = nullptr;
    bool FPercent = false;
    uint32_t FLastStep = 0;
    bool FWarned = false;
    class TEscWatcher;
    std::unique_ptr<TEscWatcher> FWatcher;
};

// The bar's position for Current of Total, rounded, clamped to 0-100.
int32_t ProgressPercent(int32_t Total, int32_t Current);
