#pragma once
// What a long job (opening, merging or saving a drawing, tracing, later the simulation and the
// G-code) reports to as it goes, and the one exception that ends it when the user breaks it off.
// The command that starts the job gives it the progress of its window (the main window's bar,
// the tracer's window) and catches EUserBreak at its top, putting back what the job changed.
#include <cstdint>
#include <stdexcept>

// The user broke a long job off. He has been told already: the command ends without a second
// message.
class EUserBreak : public std::runtime_error {
public:
    EUserBreak() : std::runtime_error("Stopped by the user.") {}
};

class TJobProgress {
public:
    virtual ~TJobProgress() = default;
    // The job starts: the progress shows, and a break asked for before now is forgotten.
    virtual void Begin() = 0;
    // Done of Total (Total 0: a job that cannot tell how far it is). Cheap enough for a tight
    // loop. Raises EUserBreak once the user has asked to break off.
    virtual void Report(int64_t Done, int64_t Total) = 0;
    // The job is over, however it ended: the progress goes.
    virtual void End() = 0;
};

// Shows nothing and never breaks: the progress of a job nobody watches.
TJobProgress& NoProgress();

// Begin at once, End when the scope is left, also by an exception.
class TJobScope {
public:
    explicit TJobScope(TJobProgress& Progress) : Progress(Progress) { Progress.Begin(); }
    ~TJobScope() { Progress.End(); }
    TJobScope(const TJobScope&) = delete;
    TJobScope& operator=(const TJobScope&) = delete;

private:
    TJobProgress& Progress;
};
