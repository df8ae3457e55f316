#pragma once
// The progress of a long job that runs on the GUI thread, shown in the main window's status bar
// in place of another item (the coordinate read-out). Step is cheap enough for a tight loop: the
// bar moves and pending events are processed at most once a second, and Step tells whether the
// user pressed Esc in the tool window (UserBreak). As the jobs' progress (TJobProgress) it is
// Start, Step and Finish, and a break raises EUserBreak.
#include "JobProgress.h"

#include <cstdint>
#include <functional>
#include <memory>

class QProgressBar;
class QWidget;

class TUserBreak_ProgBar : public TJobProgress {
public:
    TUserBreak_ProgBar();
    ~TUserBreak_ProgBar() override;
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

    // ---- TJobProgress
    void Begin() override { Start(); }
    // Steps at the percent Done of Total makes; raises EUserBreak when Step says break.
    void Report(int64_t Done, int64_t Total) override;
    void End() override { Finish(); }

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
