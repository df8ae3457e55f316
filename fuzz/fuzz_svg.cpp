// The SVG parser and the import: any bytes either refused with the reader's own exception or
// read into a drawing, without a crash, a hang or an allocation beyond the input's measure. The
// seeds are small documents of every shape, path command, transform and style the reader knows.
#include "QVCmp.h"
#include "SvgException.h"
#include "SvgParser.h"
#include "SvgPathRenderer.h"
#include "UnitSVG.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    path_renderer paths;
    try {
        svg_parser parser(paths);
        parser.parse_text(std::string_view(reinterpret_cast<const char*>(data), size));
        if (parser.title().size() > 255)
            std::abort();
    } catch (const svg_exception&) {
        return 0;
    } catch (const Esvg_exception&) {
        return 0;
    }
    // What was parsed balances its groups.
    if (paths.attr_depth() != 0)
        std::abort();
    TQV_01Cmp2D drawing;
    try {
        ImportSvgPaths(drawing, paths);
    } catch (const Esvg_exception&) {
        return 0;
    }
    // Every object lies at finite coordinates.
    TRect2D r{};
    drawing.GetExtents(r);
    if (drawing.ObjectsCount() > 0 && !(std::isfinite(r.First.X) && std::isfinite(r.Second.Y)))
        std::abort();
    return 0;
}
