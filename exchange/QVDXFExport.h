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

class TQV_01Cmp2D;

// The colour index of a layer colour (0x00BBGGRR): the six basic colours and two greys, 7 for
// any other; negated when Positive is false (a layer that is off).
int ColourToACI(uint32_t Colour, bool Positive);

class TDXF2DExport {
public:
    // Raises ECADCoreException when the file cannot be created. Drawing may be null: then the
    // file holds no header and no tables.
    TDXF2DExport(const std::string& FileName, TQV_01Cmp2D* Drawing);

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
    TQV_01Cmp2D* Drawing;  // not owned
};
