#include "TracerRun.h"

#include "DoruExitCodes.h"
#include "QVFormat.h"
#include "QVLanguage.h"

std::vector<std::string> TracerArguments(const TTraceParams& Params, const std::string& Folder)
{
    const double error = Params.ErrorThreshold > 0 ? Params.ErrorThreshold : 0.001;
    // Every digit as set: the display unit's decimals are no business of the tracer's.
    std::vector<std::string> args{"-et",      FormatExact(error),
                                  "-fi",      FormatExact(Params.FilterIterations),
                                  "-ct",      FormatExact(Params.CornerThreshold),
                                  "-outfile", Folder + "csq.tmp"};
    if (Params.CentreLine)
        args.push_back("-cline");
    args.push_back(Folder + "csq.bmp");
    return args;
}

std::string DefaultTracerProgram()
{
    return ProgramFolder() + "/doru";
}

std::string TracerExitText(int ExitCode)
{
    switch (ExitCode) {
    case DoruExitBadOption:
        return GetLangString("TracerExitOption");
    case DoruExitInputUnreadable:
        return GetLangString("TracerExitInput");
    case DoruExitInputUnsupported:
        return GetLangString("TracerExitPicture");
    case DoruExitOutputFailed:
        return GetLangString("TracerExitOutput");
    case DoruExitInternal:
        return GetLangString("TracerExitInternal");
    default:
        return GetLangString("TracerExitOther") + " " + std::to_string(ExitCode);
    }
}
