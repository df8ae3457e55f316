#include "QVDXFExport.h"

#include "QVCmp.h"
#include "QVGeometry.h"

#include <numbers>

int ColourToACI(uint32_t Colour, bool Positive)
{
    int aci = 7;
    switch (Colour) {
    case 0x0000FF: aci = 1; break;
    case 0x00FFFF: aci = 2; break;
    case 0x00FF00: aci = 3; break;
    case 0xFFFF00: aci = 4; break;
    case 0xFF0000: aci = 5; break;
    case 0xFF00FF: aci = 6; break;
    case 0x808080: aci = 8; break;
    case 0xC0C0C0: aci = 9; break;
    default: break;
    }
    return Positive ? aci : -aci;
}

TDXF2DExport::TDXF2DExport(const std::string& FileName, TQV_01Cmp2D* Drawing_)
    : Writer(std::make_unique<TDXFWrite>(FileName)), Drawing(Drawing_)
{
}

void TDXF2DExport::Export(const std::vector<const TToolpathCurve3D*>& Curves, const std::string& LayerName_)
{
    LayerName = LayerName_;
    Writer->Rewrite();
    MarkCurrentLayer();
    WriteHeader();
    WriteTables();
    WriteEntities(Curves);
}

void TDXF2DExport::Finish()
{
    Writer->WriteGroup(0, "EOF");
    Writer->Commit();
}

void TDXF2DExport::MarkCurrentLayer()
{
    if (Drawing)
        Drawing->Layers.GetLayer(static_cast<uint8_t>(Drawing->CurrentLayer & 0xFF)).Changed();
}

void TDXF2DExport::WriteHeader()
{
    if (!Drawing)
        return;
    // An empty drawing, or one with nothing visible, has no extents: its header says zero.
    TRect2D e{};
    Drawing->GetExtents(e);
    if (Drawing->ObjectsCount() == 0 || e.First.X > e.Second.X)
        e = TRect2D{{0, 0, 1}, {0, 0, 1}};
    e = NormalizeRect2D(e);
    TDXFWrite& w = *Writer;
    w.BeginSection(TDXFSection::Header);
    w.WriteGroup(9, "$ACADVER");
    w.WriteGroup(1, "AC1009");
    w.WriteGroup(9, "$ANGDIR");
    w.WriteGroup(70, 0);
    w.WriteGroup(9, "$EXTMAX");
    w.WriteGroup(10, e.Second.X);
    w.WriteGroup(20, e.Second.Y);
    w.WriteGroup(30, 0.0);
    w.WriteGroup(9, "$EXTMIN");
    w.WriteGroup(10, e.First.X);
    w.WriteGroup(20, e.First.Y);
    w.WriteGroup(30, 0.0);
    w.WriteGroup(9, "$CECOLOR");
    w.WriteGroup(62, 256);
    w.WriteGroup(9, "$CELTYPE");
    w.WriteGroup(6, "BYLAYER");
    w.EndSection();
}

void TDXF2DExport::WriteTables()
{
    if (!Drawing)
        return;
    TDXFWrite& w = *Writer;
    w.BeginSection(TDXFSection::Tables);
    w.WriteGroup(0, "TABLE");
    w.WriteGroup(2, "LTYPE");
    w.WriteGroup(70, 1);
    w.WriteGroup(0, "LTYPE");
    w.WriteGroup(2, "CONTINUOUS");
    w.WriteGroup(70, 64);
    w.WriteGroup(3, "Solid line");
    w.WriteGroup(72, 65);
    w.WriteGroup(73, 0);
    w.WriteGroup(40, 0.0);
    w.WriteGroup(0, "ENDTAB");
    w.WriteGroup(0, "TABLE");
    w.WriteGroup(2, "LAYER");
    w.WriteGroup(70, 256);
    for (int i = 0; i < TQV_20Layers::Count; ++i) {
        const TQV_21Layer& layer = Drawing->Layers.GetLayer(static_cast<uint8_t>(i));
        if (!layer.Modified)
            continue;
        w.WriteGroup(0, "LAYER");
        w.WriteGroup(2, layer.Name);
        w.WriteGroup(70, 64);
        w.WriteGroup(62, ColourToACI(static_cast<uint32_t>(layer.Pen.Color()), layer.Active));
        w.WriteGroup(6, "CONTINUOUS");
    }
    w.WriteGroup(0, "ENDTAB");
    w.EndSection();
}

void TDXF2DExport::WriteEntities(const std::vector<const TToolpathCurve3D*>& Curves)
{
    Writer->BeginSection(TDXFSection::Entities);
    for (const TToolpathCurve3D* curve : Curves) {
        // An empty curve has nothing to write; the curves after it still do.
        if (!curve || curve->VertexCount() == 0)
            continue;
        const TAVertice3d* prev = &curve->Vertex(0);
        for (size_t i = 1; i < curve->VertexCount(); ++i) {
            const TAVertice3d& v = curve->Vertex(i);
            if (v.Kind == 0)
                WriteLine(*prev, v);
            else
                WriteArc(*prev, v);
            prev = &v;
        }
    }
    Writer->EndSection();
}

void TDXF2DExport::WriteLine(const TAVertice3d& Prev, const TAVertice3d& V)
{
    TDXFWrite& w = *Writer;
    w.WriteGroup(0, "LINE");
    w.WriteGroup(8, LayerName);
    w.WriteGroup(10, Prev.Point.X);
    w.WriteGroup(20, Prev.Point.Y);
    w.WriteGroup(30, Prev.Point.Z);
    w.WriteGroup(11, V.Point.X);
    w.WriteGroup(21, V.Point.Y);
    w.WriteGroup(31, V.Point.Z);
}

void TDXF2DExport::WriteArc(const TAVertice3d& Prev, const TAVertice3d& V)
{
    const TVector2D centre{V.Centre.X, V.Centre.Y};
    const TVector2D from{Prev.Point.X, Prev.Point.Y};
    const TVector2D to{V.Point.X, V.Point.Y};
    const bool ccw = V.Kind == 1;
    double start = PointsAngle(centre, from);
    double end = PointsAngle(centre, to);
    // The sweep follows the direction; equal angles are a full turn.
    if (ccw)
        end = start + ArcSweep(1, start, end);
    else
        start = end + ArcSweep(-1, start, end);
    constexpr double ToDegrees = 180.0 / std::numbers::pi;
    TDXFWrite& w = *Writer;
    w.WriteGroup(0, "ARC");
    w.WriteGroup(8, LayerName);
    w.WriteGroup(10, centre.X);
    w.WriteGroup(20, centre.Y);
    w.WriteGroup(30, V.Point.Z);
    w.WriteGroup(40, VectorDistance2D(from, centre));
    // A DXF arc always runs counter-clockwise: a clockwise one is written from its end.
    w.WriteGroup(50, (ccw ? start : end) * ToDegrees);
    w.WriteGroup(51, (ccw ? end : start) * ToDegrees);
}
