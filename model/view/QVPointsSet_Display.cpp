// Point sets in the view: as line strips and as overlay polylines.
#include "QVDisplay.h"
#include "QVScene.h"
#include "QVPointsSet.h"

TLineStrip* TPointsSet2D::BuildGLLines(TSceneGroup& Group, const TMatrix4& M) const
{
    return AddLineStrip(Group, Points(), M, {});
}

TLineStrip* TPointsSet2D::BuildGLLinesInObjects(const TMatrix4& M) const
{
    if (!DrawingView || !DrawingView->DrawingGroup)
        return nullptr;
    DrawingView->TargetGroup = DrawingView->DrawingGroup;
    return BuildGLLines(*DrawingView->DrawingGroup, M);
}

void TPointsSet2D::DrawPolyline(TCanvas2D& Canvas) const { DrawWorldPolyline(Canvas, Points(), IdentityMatrix); }

TRect TPointsSet2D::GetScreenRect() const { return ScreenRectOf(Points(), IdentityMatrix); }
