// The drawing toolbar's commands: each makes its new entity at the origin and starts the task
// that draws it (the entity gets its ID when the drawing adds it).
#include "Commands.h"

#include "ProgramObjects.h"
#include "QVCurves.h"
#include "QVDrawTasks.h"
#include "QVEntity.h"
#include "QVPrg2D.h"
#include "QVSplines.h"
#include "UnitMain.h"

#include <memory>

namespace {

const TPoint2D Origin{0, 0, 1};

bool Start(TCommandContext& C, TCADStateClass Task, std::unique_ptr<TQV_00CADPrgParam> Param)
{
    C.Objects.Prog->StartOperation(Task, std::move(Param));
    return true;
}

bool DrawSized(TCommandContext& C, std::unique_ptr<TPrimitive2D> Entity)
{
    return Start(C, StateClass<TQV_40DrawSizedPrimitive>(),
                 std::make_unique<TQV_40DrawSizedPrimitiveParam>(nullptr, std::move(Entity), 0, true));
}

bool DrawUnsized(TCommandContext& C, std::unique_ptr<TPrimitive2D> Entity)
{
    return Start(C, StateClass<TQV_40DrawUnSizedPrimitive>(),
                 std::make_unique<TQV_40DrawUnSizedPrimitiveParam>(nullptr, std::move(Entity), 0, true));
}

bool DrawArc(TCommandContext& C, TCADStateClass Task, bool IsArc)
{
    return Start(C, Task,
                 std::make_unique<TQV_40DrawArcoPrimitiveParam>(
                     nullptr, std::make_unique<TArco2D>(-1, Origin, Origin, 0, 0), IsArc));
}

} // namespace

bool MyPuntoClick(TCommandContext& C)
{
    return DrawSized(C, std::make_unique<TPunto2D>(-1, Origin));
}

bool MySubLineClick(TCommandContext& C)
{
    return DrawSized(C, std::make_unique<TLine2D>(-1, Origin, Origin));
}

bool sbtRectangleClick(TCommandContext& C)
{
    // A rectangle's sides follow its axes: the orthogonal mode is off while it is drawn, and the
    // end of the operation gives it back.
    TQV_00Prog& prog = *C.Objects.Prog;
    const bool wasOrto = C.Main.OrtoSaved ? C.Main.SavedUseOrto : prog.UseOrto;
    DrawSized(C, std::make_unique<TFrame2D>(-1, Origin, Origin));
    C.Main.OrtoSaved = true;
    C.Main.SavedUseOrto = wasOrto;
    prog.UseOrto = false;
    return true;
}

bool MyArcClick(TCommandContext& C)
{
    return DrawSized(C, std::make_unique<TCerchio2D>(-1, Origin, Origin));
}

bool MyCircle3PtClick(TCommandContext& C)
{
    return DrawArc(C, StateClass<TQV_40DrawArco3Pt>(), false);
}

bool MyArcCtPtSaEaClick(TCommandContext& C)
{
    return DrawArc(C, StateClass<TQV_40DrawArcoPrimitive>(), true);
}

bool MyArc3PtClick(TCommandContext& C)
{
    return DrawArc(C, StateClass<TQV_40DrawArco3Pt>(), true);
}

bool mnuEllipseCloseClick(TCommandContext& C)
{
    return DrawSized(C, std::make_unique<TEllipse2D>(-1, Origin, Origin));
}

bool mnuEllipseOpenClick(TCommandContext& C)
{
    return Start(C, StateClass<TQV_40DrawEOPrimitive>(),
                 std::make_unique<TQV_40DrawEOPrimitiveParam>(
                     nullptr, std::make_unique<TEllipseOpen2D>(-1, Origin, Origin, 0, 0)));
}

bool sbtPolyClick(TCommandContext& C)
{
    const TPoint2D one[] = {Origin};
    return DrawUnsized(C, std::make_unique<TPolyline2D>(-1, one));
}

bool sbtSplineClick(TCommandContext& C)
{
    const TPoint2D one[] = {Origin};
    auto spline = std::make_unique<TBSpline2D>(-1, one);
    // Its profile is built when it is drawn, not kept.
    spline->SetKeepProfile(false);
    return DrawUnsized(C, std::move(spline));
}
