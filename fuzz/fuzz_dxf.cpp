// The DXF group reader and the import: any bytes read without a crash, a hang or an allocation
// beyond the input, through the walk an importer makes over sections, header variables and
// records, then through the whole import into a drawing and into a free container. The seeds
// reach entities in mirrored and tilted planes, meshes, fit-point splines, code pages, binary
// DXF and cut files.
#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVDXF.h"
#include "QVDXFImport.h"
#include "QVFonts.h"
#include "QuietWindow.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TQuietWindow window;
    static const bool registered = [] {
        SetMainWindowServices(&window);
        return true;
    }();
    static_cast<void>(registered);
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

    // The import keeps what it read and reports the rest; it never raises.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TVectFont font;
    {
        TQV_01Cmp2D drawing;
        auto imp = TDXF2DImport::FromText(text, &drawing);
        imp->SetVectFont(&font);
        imp->Import();
        // The warning is built from names the file gives: it stays a message, not a dump.
        if (imp->ReportText().size() > 4096)
            std::abort();
    }
    {
        TQV_01Cmp2D drawing;
        auto imp = TDXF2DImport::FromText(text, &drawing);
        imp->Scale = 2;
        std::unique_ptr<TContainer2D> c = imp->ImportAsContainer();
        if (drawing.ObjectsCount() != 0 || drawing.SourceBlocksCount() != 0)
            std::abort();
    }
    return 0;
}
