#pragma once
// The toolpath of one machining operation as an R12 DXF file: LINE and ARC entities on one
// layer, with a header and the line-type and layer tables, and no blocks section.
#include "QVDXF.h"
#include "QVTypes.h"
#include "QVVertice.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One 3D toolpath curve: its first vertex gives the start point, every later vertex the line
// (Kind 0) or arc (Kind 1 counter-clockwise, any other clockwise, about its Centre) that ends at
// its Point.
class TToolpathCurve3D {
public:
    virtual ~TToolpathCurve3D() = default;
    virtual size_t VertexCount() const = 0;
    virtual const TAVertice3d& Vertex(size_t Index) const = 0;
};

// What the export reads of the drawing: its extents and its 256 layers.
class TDXFExportDrawing {
public:
    static constexpr int LayerCount = 256;

    virtual ~TDXFExportDrawing() = default;
    // False when the drawing holds nothing.
    virtual bool GetExtents(TRect2D& Extents) const = 0;
    // Sets the Modified flag of the current layer, so that the layer table lists it.
    virtual void MarkCurrentLayer() = 0;
    virtual bool LayerModified(int Index) const = 0;
    virtual std::string LayerName(int Index) const = 0;
    virtual uint32_t LayerPenColour(int Index) const = 0;  // 0x00BBGGRR
    virtual bool LayerActive(int Index) const = 0;
};

// The colour index of a layer colour (0x00BBGGRR): the six basic colours and two greys, 7 for
// any other; negated when Positive is false (a layer that is off).
int ColourToACI(uint32_t Colour, bool Positive);

class TDXF2DExport {
public:
    // Raises ECADCoreException when the file cannot be created. Drawing may be null: then the
    // file holds no header and no tables.
    TDXF2DExport(const std::string& FileName, TDXFExportDrawing* Drawing);

    void Export(const std::vector<const TToolpathCurve3D*>& Curves, const std::string& LayerName);
    // Writes the final 0 "EOF" and puts the file in place; raises ECADCoreException when the
    // file could not be written whole. Without it the target file is left as it was.
    void Finish();

    std::string LayerName;

private:
    void MarkCurrentLayer();
    void WriteHeader();
    void WriteTables();
    void WriteEntities(const std::vector<const TToolpathCurve3D*>& Curves);
    void WriteLine(const TAVertice3d& Prev, const TAVertice3d& V);
    void WriteArc(const TAVertice3d& Prev, const TAVertice3d& V);

    std::unique_ptr<TDXFWrite> Writer;
    TDXFExportDrawing* Drawing;
};
