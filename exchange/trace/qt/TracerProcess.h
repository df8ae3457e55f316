#pragma once
// The tracer as a child process: started with its argument list (no shell), waited for in a
// local event loop so the windows stay responsive. While it runs it reports to a job progress; a
// break asked for there kills a tracer that takes too long or hangs. Unless given another, the
// progress is the tracer's own window: a busy bar with a Stop button.
#include "JobProgress.h"
#include "TracerRun.h"

class QWidget;

class TTracerProcess : public TTracerRunner {
public:
    // Parent of the progress window; null for a top-level one. Progress, when given, is
    // reported to instead of the window (not owned).
    explicit TTracerProcess(QWidget* Parent = nullptr, TJobProgress* Progress = nullptr)
        : Parent(Parent), Progress(Progress)
    {
    }
    TTracerRun Run(const std::string& Program, const std::vector<std::string>& Arguments) override;

private:
    QWidget* Parent;
    TJobProgress* Progress;
};
