// STL files of any form and the STL block read from the middle of a stream.
#include "CADExceptions.h"
#include "QVStream.h"
#include "SceneStl.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    try {
        ReadStlBytes(Data, Size);
    } catch (const ECADCoreException&) {
    }
    try {
        TStreamReader r(Data, Size);
        ReadStlBlock(r);
    } catch (const ECADCoreException&) {
    }
    return 0;
}
