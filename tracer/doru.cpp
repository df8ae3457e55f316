// doru: traces the black shapes of a BMP into DXF polylines.
//   doru -et E -fi F -ct C -outfile OUT [-cline] INPUT.bmp
#include "BmpReader.h"
#include "CADExceptions.h"
#include "DoruExitCodes.h"
#include "DoruOptions.h"
#include "DxfWriter.h"
#include "Tracer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>

namespace {

int Fail(int code, const std::string& message)
{
    std::cerr << "doru: " << message << '\n';
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    TDoruOptions options;
    std::string error;
    if (!ParseDoruOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
        return Fail(DoruExitBadOption,
                    error + " (usage: doru -et E -fi F -ct C -outfile OUT [-cline] INPUT.bmp)");
    try {
        TMonoBitmap bitmap;
        {
            std::error_code ec;
            if (std::filesystem::is_directory(options.InFile, ec))
                return Fail(DoruExitInputUnreadable, "cannot read " + options.InFile + ": " + std::strerror(EISDIR));
            std::ifstream in(options.InFile, std::ios::binary);
            if (!in)
                return Fail(DoruExitInputUnreadable, "cannot read " + options.InFile + ": " + std::strerror(errno));
            try {
                bitmap = ReadBmp(in);
            } catch (const ECADFileNotValid& e) {
                return Fail(DoruExitInputUnsupported, options.InFile + ": " + e.what());
            }
        }
        const TTraceResult result = Trace(bitmap, options.Params);
        error = SaveDxfFile(options.OutFile, result);
        if (!error.empty())
            return Fail(DoruExitOutputFailed, error);
    } catch (const std::bad_alloc&) {
        return Fail(DoruExitInternal, "out of memory");
    } catch (const std::exception& e) {
        return Fail(DoruExitInternal, e.what());
    }
    return DoruExitOk;
}
