#pragma once
// Running the tracer program: its argument list, what a run ended with and what that means to
// the user. The runner itself is the caller's (a process with a progress window in the program,
// a plain child process in tests).
#include "Tracer.h"

#include <string>
#include <vector>

// -et E -fi F -ct C -outfile <Folder>csq.tmp [-cline] <Folder>csq.bmp: the tracer's own values
// (TTraceParams), each number with every digit it has and '.' as the separator, whatever the
// display unit or the locale. An error threshold not above 0 is given
// as 0.001. Each item is one argument, so a folder with blanks in its name needs no quoting.
std::vector<std::string> TracerArguments(const TTraceParams& Params, const std::string& Folder);

struct TTracerRun {
    enum class TEnd { Exited, NotStarted, Crashed, Cancelled };
    TEnd End = TEnd::Exited;
    int ExitCode = 0;
    // Why the process could not be started or crashed, as the system said it; after a failing
    // exit code, the last line the tracer wrote to its error output (when the runner keeps it).
    std::string Error;
};

class TTracerRunner {
public:
    virtual ~TTracerRunner() = default;
    // Runs Program with Arguments and waits for it to end (or for the user to stop it).
    virtual TTracerRun Run(const std::string& Program, const std::vector<std::string>& Arguments) = 0;
};

// The tracer installed beside the program: ProgramFolder() + "/doru".
std::string DefaultTracerProgram();

// What an exit code of the tracer means, for the message of a failed trace.
std::string TracerExitText(int ExitCode);
