// The DXF group reader and the import: any bytes read without a crash, a hang or an allocation
// beyond the input, through the walk an importer makes over sections, header variables and
// records, then through the whole import into a drawing and into a free container. The first
// byte is the setting "LWPOLYLINE as lines and arcs" (its lowest bit), the rest the file. The
// seeds reach entities in mirrored and tilted planes, meshes, fit-point splines, code pages,
// binary DXF, cut files and a bulged LWPOLYLINE of more than 65,535 points.
#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVDXF.h"
#include "QVDXFImport.h"
#include "QVFonts.h"
#include "QuietWindow.h"
#include "UnitConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TQuietWindow window;
    // The program's settings, kept in a folder of the run's own.
    static TAppConfig* const config = [] {
        SetMainWindowServices(&window);
        char folder[] = "/tmp/rastrel-fuzz-dxf-XXXXXX";
        if (!::mkdtemp(folder))
            std::abort();
        ::setenv("RASTREL_DATA_DIR", folder, 1);
        AppConfig = new TAppConfig;
        return AppConfig;
    }();
    if (size == 0)
        return 0;
    config->DxfPolyInLA = (data[0] & 1) != 0;
    ++data;
    --size;
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
