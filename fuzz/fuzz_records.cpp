// The kernel's stream records one after another, each chosen by a leading byte: matrices,
// path vertices and point sets. Any input either reads or ends in ECADFileNotValid; what reads
// writes back to the same bytes, and no point set allocates more than the input could hold.
#include "CADExceptions.h"
#include "QVMatrix.h"
#include "QVPointsSet.h"
#include "QVStream.h"
#include "QVVertice.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The bytes written back must be the bytes just read.
void ExpectSameBytes(const uint8_t* data, size_t from, const TStreamWriter& w)
{
    if (std::memcmp(data + from, w.Bytes().data(), w.Size()) != 0)
        std::abort();
}

template <typename TSet> void ReadPointsSet(TStreamReader& r, size_t inputSize, size_t pointBytes)
{
    const auto set = TSet::CreateFromStream(r);
    if (static_cast<size_t>(set->Capacity()) * pointBytes > inputSize)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TStreamReader r(data, size);
    try {
        while (!r.AtEnd()) {
            const uint8_t kind = r.ReadByte() % 5;
            const size_t from = r.Position();
            TStreamWriter w;
            switch (kind) {
            case 0: {
                TMatrix4 m;
                m.LoadFromStream(r);
                m.SaveToStream(w);
                ExpectSameBytes(data, from, w);
                break;
            }
            case 1:
                TAVertice::CreateFromStream(r).SaveToStream(w);
                ExpectSameBytes(data, from, w);
                break;
            case 2:
                TAVertice3d::CreateFromStream(r).SaveToStream(w);
                ExpectSameBytes(data, from, w);
                break;
            case 3:
                ReadPointsSet<TPointsSet2D>(r, size, 24);
                break;
            default:
                ReadPointsSet<TPointsSet3D>(r, size, 32);
                break;
            }
        }
    } catch (const ECADFileNotValid&) {
    }
    return 0;
}
