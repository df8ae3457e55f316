#include "PncviewOpen.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVDXFImport.h"
#include "QVFonts.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsDxfName(const std::string& FileName)
{
    const std::string dxf = ".dxf";
    if (FileName.size() < dxf.size())
        return false;
    return std::equal(dxf.begin(), dxf.end(), FileName.end() - static_cast<std::ptrdiff_t>(dxf.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// The font of slot 0, or none when it is empty: the DXF import then leaves texts out.
TVectFont* TextFont()
{
    try {
        return CADCoreFindFontByIndex(0);
    } catch (const ECADObjClassNotFound&) {
        return nullptr;
    }
}

} // namespace

void OpenForViewing(const std::string& FileName, TQV_01Cmp2D& Drawing)
{
    if (!IsDxfName(FileName)) {
        Drawing.LoadFromFile(FileName, false);
        return;
    }
    TDXF2DImport import(FileName, &Drawing);
    import.SetVectFont(TextFont());
    import.Import();
}
