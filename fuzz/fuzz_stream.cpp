// The strict stream reader with the records built on it: any input either reads whole or ends
// in ECADFileNotValid.
#include "CADExceptions.h"
#include "QVStream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TStreamReader r(data, size);
    try {
        while (!r.AtEnd()) {
            switch (r.ReadByte() % 6) {
            case 0: r.ReadInt32(); break;
            case 1: r.ReadDouble(); break;
            case 2: {
                const uint32_t n = r.ReadCount(8, "values");
                for (uint32_t i = 0; i < n; ++i)
                    r.ReadDouble();
                break;
            }
            case 3: r.ReadChars(r.ReadByte()); break;
            case 4: r.Seek(r.Position() + r.ReadByte()); break;  // forward only, so every input ends
            default: r.ReadSingle(); break;
            }
        }
    } catch (const ECADFileNotValid&) {
    }
    return 0;
}
