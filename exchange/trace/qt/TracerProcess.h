#pragma once
// The tracer as a child process: started with its argument list (no shell), waited for in a
// local event loop so the windows stay responsive, with a progress window whose Stop button
// kills a tracer that takes too long or hangs.
#include "TracerRun.h"

class QWidget;

class TTracerProcess : public TTracerRunner {
public:
    // Parent of the progress window; null for a top-level one.
    explicit TTracerProcess(QWidget* Parent = nullptr) : Parent(Parent) {}
    TTracerRun Run(const std::string& Program, const std::vector<std::string>& Arguments) override;

private:
    QWidget* Parent;
};
