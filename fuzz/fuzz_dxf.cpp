// The DXF group reader: any bytes read without a crash, a hang or an allocation beyond the
// input, through the walk an importer makes over sections, header variables and records.
#include "CADExceptions.h"
#include "QVDXF.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto r = TDXFRead::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (r->Failed)
        return 0;
    TDXFRecord rec;
    try {
        for (int pass = 0; pass < 2; ++pass) {
            while (r->Section != TDXFSection::None) {
                if (r->Section == TDXFSection::Header) {
                    while (r->ReadRecord(9, rec) == 9) {
                    }
                } else {
                    while (!r->AtEnd() && !(r->Code == 0 && r->Value.IsText("ENDSEC"))) {
                        rec.Clear();
                        r->ReadRecord(0, rec);
                        if (rec.Group(0).IsText("LWPOLYLINE"))
                            while (r->ReadGroupInRecord()) {
                            }
                    }
                }
                r->NextSection();
            }
            // At the end every read keeps answering that it is over.
            if (r->AtEnd() && (r->ReadGroup() || r->Code != 0 || r->Value.IsPresent()))
                std::abort();
            r->Rewind();
        }
    } catch (const ECADFileNotValid&) {
    }
    return 0;
}
