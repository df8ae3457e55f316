#include "QVRegistry.h"

#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVEntity.h"
#include "QVSplines.h"
#include "QVSurf3D.h"
#include "QVVectText.h"

#include "CADExceptions.h"

#include <optional>

// The fixed index table; classes of later units join it at their own indices.
void RegisterDrawingClasses()
{
    // The label handed over by the editing subsystem keeps its index through this reset; only a
    // clear of the registry forgets it.
    std::optional<TGraphicClass> label;
    try {
        label = QV_00FindClassByIndex(LabelClassIndex);
    } catch (const ECADObjClassNotFound&) {
    }
    QV_00ClearClassRegistry();
    QV_00RegisterClass(0, GraphicClassOf<TContainer2D>("TContainer2D"));
    QV_00RegisterClass(1, GraphicClassOf<TSourceBlock2D>("TSourceBlock2D"));
    QV_00RegisterClass(2, GraphicClassOf<TBlock2D>("TBlock2D"));
    QV_00RegisterClass(3, GraphicClassOf<TLine2D>("TLine2D"));
    QV_00RegisterClass(4, GraphicClassOf<TPolyline2D>("TPolyline2D"));
    QV_00RegisterClass(5, GraphicClassOf<TPolygon2D>("TPolygon2D"));
    QV_00RegisterClass(6, GraphicClassOf<TRectangle2D>("TRectangle2D"));
    QV_00RegisterClass(7, GraphicClassOf<TEllipseOpen2D>("TEllipseOpen2D"));
    QV_00RegisterClass(8, GraphicClassOf<TEllipse2D>("TEllipse2D"));
    QV_00RegisterClass(9, GraphicClassOf<TFilledEllipse2D>("TFilledEllipse2D"));
    QV_00RegisterClass(11, GraphicClassOf<TFrame2D>("TFrame2D"));
    QV_00RegisterClass(BitmapClassIndex, GraphicClassOf<TBitmap2D>("TBitmap2D"));
    QV_00RegisterClass(13, GraphicClassOf<TBSpline2D>("TBSpline2D"));
    QV_00RegisterClass(14, GraphicClassOf<TJustifiedVectText2D>("TJustifiedVectText2D"));
    QV_00RegisterClass(15, GraphicClassOf<TPunto2D>("TPunto2D"));
    QV_00RegisterClass(16, GraphicClassOf<TCerchio2D>("TCerchio2D"));
    QV_00RegisterClass(17, GraphicClassOf<TArco2D>("TArco2D"));
    QV_00RegisterClass(18, GraphicClassOf<TFilledCerchio2D>("TFilledCerchio2D"));
    QV_00RegisterClass(19, GraphicClassOf<TQVBSpline2D>("TQVBSpline2D"));
    QV_00RegisterClass(22, GraphicClassOf<TInsert>("TInsert"));
    QV_00RegisterClass(Line3DClassIndex, GraphicClassOf<TLine3D>("TLine3D"));
    QV_00RegisterClass(StlSurfaceClassIndex, GraphicClassOf<TQV_STLSurf>("TQV_STLSurf"));
    if (label)
        QV_00RegisterClass(LabelClassIndex, std::move(*label));
}

void RegisterLabelClass(TGraphicClass LabelClass)
{
    QV_00RegisterClass(LabelClassIndex, std::move(LabelClass));
}
