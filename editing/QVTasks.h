#pragma once
// The tasks every command stands on: the rubber-band window, zoom window and real-time pan of
// the view, and the selection tasks that hand a selection to a tool.
#include "QVCADPrg.h"
#include "QVList.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TFrame2D;
class TGraphicObject;
class TObject2D;
class TQV_00Prog;
class TQV_01Cmp2D;
class TQVScene;

// Takes the rubber band (when it shows Frame, or any with Frame null) and the selection
// rectangle off the view, so nothing freed stays on the overlay.
void HideRubberBand(TQVScene* View, const TGraphicObject* Frame);
// The view's pick square around the world point Pt, Aperture pixels to each side; nothing
// without a view.
void DrawPickSquare(TQVScene* View, const TPoint2D& Pt, uint16_t Aperture);
// The point a pick or a click of a task uses: the snapped cursor point of a 2D program, the plain
// cursor point of any other.
TPoint2D SnappedCursor(TQV_00CADProg& CADPrg);
// The drawing of the program's view; null without one.
TQV_01Cmp2D* DrawingOf(TQV_00CADProg& CADPrg);

// ---- the rubber-band window ----------------------------------------------------------------

// The rubber band of two clicks, wrapping the parameter of the task it serves.
class TQV_52WinPrgSelectParam : public TQV_00CADPrgParam {
public:
    // AfterState receives the finished rubber band. SelectParam is the wrapped parameter (a window
    // selection's, or the one of the task a zoom interrupts); OwnedSelectParam, when given, is
    // the same object and goes with the rubber band, so a cancelled window frees it too.
    TQV_52WinPrgSelectParam(TCADStateClass AfterState, TQV_00CADPrgParam* SelectParam,
                            std::unique_ptr<TQV_00CADPrgParam> OwnedSelectParam = nullptr);
    ~TQV_52WinPrgSelectParam() override;

    // The rectangle in world coordinates: control point 0 the first corner clicked, 1 the
    // moving one. Made with ID 0 and both corners at the origin.
    std::unique_ptr<TFrame2D> Frame;
    // The view's selection rectangle corners 0 and 2 as clicked (first x, first y, second x,
    // second y), not ordered; zero until the first move after the first click.
    std::array<int32_t, 4> ScreenRect{};
    TQV_00CADPrgParam* SelectParam;
    std::unique_ptr<TQV_00CADPrgParam> OwnedSelectParam;

    TRect2D GetBox() const;
};

// What the two states of the rubber band share: its parameter, and taking the band off the
// view before it goes, whether cancelled or stopped.
class TRubberBandState : public TQV_00State {
public:
    void OnStop() override;

protected:
    TRubberBandState(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState,
                     const char* InvalidParam, size_t Prompt);
    // Null once given up.
    TQV_52WinPrgSelectParam* Band() const;
    // On ueCancel: OnStop and the end.
    bool Cancelled(TCADPrgEvent Event, int32_t Key, TCADStateClass& NextState);
};

// Waits for the first corner.
class TQV_52WinPrgSelect : public TRubberBandState {
public:
    TQV_52WinPrgSelect(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;
};

// Drags the second corner.
class TQV_51PrgDragSelectArea : public TRubberBandState {
public:
    TQV_51PrgDragSelectArea(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;
};

// ---- zoom and pan --------------------------------------------------------------------------

// The base of the zoom and pan states: they cannot be suspended themselves.
class TQV_20PrgZoomState : public TQV_00State {
public:
    TQV_20PrgZoomState(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Wraps the parameter it was given in a rubber band and starts it.
class TQV_20PrgZoomArea : public TQV_20PrgZoomState {
public:
    TQV_20PrgZoomArea(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Zooms to the finished window (two clicks on one spot do not zoom) and ends.
class TQV_20PrgEndZoomArea : public TQV_20PrgZoomState {
public:
    TQV_20PrgEndZoomArea(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Pans while the left button is held: the world point grabbed stays under the cursor. Cancel
// puts the camera back; object snap is allowed while it runs and as it was afterwards.
class TQV_21RealTimePan : public TQV_20PrgZoomState {
public:
    TQV_21RealTimePan(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    ~TQV_21RealTimePan() override;
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

    bool Dragging = false;
    bool PanCursorShown = false;
    TPoint2D StartPoint{0, 0, 1};
    // The position of the view's camera rig when the pan started.
    std::array<float, 4> SavedCameraPosition{};

private:
    bool SavedUsaSnap;
};

// ---- selection -----------------------------------------------------------------------------

// Only objects of the class it names, or of a class derived from it, can be picked.
using TSelectableClass = std::function<bool(const TObject2D& Obj)>;
template <class T> TSelectableClass SelectableClassOf()
{
    return [](const TObject2D& Obj) { return dynamic_cast<const T*>(&Obj) != nullptr; };
}

class TQV_50SelectObjectsParam;
// Told after each change of the selection; Obj is null after a window selection.
using TSelectedObjectEvent =
    std::function<void(TQV_00CADPrgParam* Param, TObject2D* Obj, bool Added, int32_t PickCode)>;

// The selection every editing tool receives.
class TQV_50SelectObjectsParam : public TQV_00CommonParam {
public:
    TQV_50SelectObjectsParam(uint16_t Aperture, TCADStateClass AfterState, void* UserObject = nullptr,
                             uint8_t UserMode = 0);
    ~TQV_50SelectObjectsParam() override;

    // The view's pick square around Pt, Aperture pixels to each side, and an overlay redraw.
    virtual void DrawPickBox(const TPoint2D& Pt);
    // The view's overlay object list becomes SelectedObjects, with events locked meanwhile.
    void ShowSelection();
    // The selection follows the drawing: an object it frees leaves SelectedObjects and the
    // view's overlay list. Done once, by the first selection task that gets the parameter.
    void Watch(TQV_00CADProg& CADPrg);

    // Pick aperture in pixels.
    uint16_t Aperture;
    // The one-object task picks on the button-down instead of the button-up.
    bool PickOnMouseDown = false;
    int32_t PickCode = -200;
    // The cursor point of the last mouse move, unsnapped.
    TPoint2D LastPoint{0, 0, 1};
    // The objects picked so far, in picking order; the list does not own them.
    TGraphicObjList SelectedObjects{false};
    TSelectedObjectEvent OnSelected;
    // Every 2D object, unless the command narrows it.
    TSelectableClass SelectableClass;
    // Caller data for the tool; not owned.
    uint8_t UserMode;
    void* UserObject;

private:
    TQV_00CADProg* Watched = nullptr;
    TQV_01Cmp2D* WatchedDrawing = nullptr;
    int32_t FreeListener = 0;
};

// The 2D objects of a selection parameter, copied out so that a tool may change the drawing
// while it works through them; none for another parameter.
std::vector<TObject2D*> SelectedObjectsOf(TQV_00CADPrgParam* Param);

// The window selection's parameter.
class TQV_51WinSelectObjectsParam : public TQV_50SelectObjectsParam {
public:
    TQV_51WinSelectObjectsParam(bool RemoveFromDrawing, TCADStateClass AfterState, void* UserObject = nullptr,
                                uint8_t UserMode = 0);

    bool RemoveFromDrawing;
    // The world box of the rubber band.
    TRect2D WindowBox{};
    // Left, top, right, bottom in view pixels, as clicked.
    std::array<int32_t, 4> ScreenRect{};
};

// The cursor points at which the two-object task picked its objects.
extern std::array<TPoint2D, 2> PickPoints;

// What the picking tasks share: the selection parameter they were made with, and a cancel that
// frees it and clears the overlay.
class TSelectionTask : public TQV_00State {
protected:
    TSelectionTask(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState,
                   const char* InvalidParam);
    // Null once given up.
    TQV_50SelectObjectsParam* Selection() const;
    // On ueCancel (and on AlsoKey when given): the parameter freed, the overlay reset, the end.
    bool Cancelled(TCADPrgEvent Event, int32_t Key, TCADStateClass& NextState, int32_t AlsoKey = 0);
    // The prompt, the pick square at the last point and the overlay of picked objects.
    void StartPicking(size_t Prompt);
    // The pick square follows the cursor.
    void FollowCursor();
};

// One object: picks on the left button-up (button-down with PickOnMouseDown) and ends.
class TQV_50Seleziona1Ogg : public TSelectionTask {
public:
    TQV_50Seleziona1Ogg(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;
};

// One point: the left button-up ends it; the tool reads the snapped point from the program.
class TQV_50SelectPoint : public TSelectionTask {
public:
    TQV_50SelectPoint(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;
};

// Two objects, picks toggling; ends when two are selected.
class TQV_50Seleziona2Ogg : public TSelectionTask {
public:
    TQV_50Seleziona2Ogg(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

private:
    int32_t Count = 0;
};

// Any number of objects, picks toggling; ends on ueDone.
class TQV_50SelectObjects : public TSelectionTask {
public:
    TQV_50SelectObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

protected:
    // The object under the cursor and its pick code.
    virtual TObject2D* PickAt(const TPoint2D& P, int32_t& Code);
};

// As TQV_50SelectObjects, but only point objects (SelectChainPoints) or circles and arcs.
class TQV_50SelectPuntiAndArchi : public TQV_50SelectObjects {
public:
    using TQV_50SelectObjects::TQV_50SelectObjects;

protected:
    TObject2D* PickAt(const TPoint2D& P, int32_t& Code) override;
};

// The window: made with the selection parameter it runs the rubber band, which comes back here
// with its second click; the objects fully inside the window are selected and it ends.
class TQV_51WinSelectObjects : public TQV_00State {
public:
    TQV_51WinSelectObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};
