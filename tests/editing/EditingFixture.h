#pragma once
// A drawing, its view on a recording viewer and the interaction program attached to it: the
// engine and its tasks driven by the events an adapter would send, without a display. The view
// shows world x 0 to 100 across its 1000 pixels (10 pixels a unit), y 0 at mid-height.
#include "QVCmp.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVStream.h"
#include "QVTasks.h"
#include "SceneViewer.h"
#include "UndoRedo.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct TEditingFixture : ::testing::Test {
    TRecordingViewer Viewer{1000, 600};
    TQV_01Cmp2D Drawing;
    TQVScene View;
    TQV_00Prog Prog;

    void SetUp() override
    {
        DrawingView = &View;
        View.AttachViewer(&Viewer);
        View.AttachDrawing(&Drawing);
        View.ZoomToBox({{0, 0, 0, 1}, {100, 0, 0, 1}});
        Prog.SetViewPort(&View);
        // Prompts named by their slot, so a test sees which one a task shows.
        for (size_t i = 0; i < StatePrompts.size(); ++i)
            StatePrompts[i] = "prompt " + std::to_string(i);
    }

    void TearDown() override
    {
        for (std::string& p : StatePrompts)
            p.clear();
        if (DrawingView == &View)
            DrawingView = nullptr;
    }

    TPoint At(double X, double Y) const { return View.WorldToScreen({X, Y, 1}); }

    void Input(TViewPortInput::TKind Kind, TPoint P, TMouseButton Button = mbLeft, TShiftState Shift = 0,
               int32_t Key = 0)
    {
        TViewPortInput e;
        e.Kind = Kind;
        e.X = P.X;
        e.Y = P.Y;
        e.Button = Button;
        e.Shift = Shift;
        e.Key = Key;
        Prog.ViewPortInput(e);
    }
    void Move(double X, double Y, TShiftState Shift = 0)
    {
        Input(TViewPortInput::MouseMove, At(X, Y), mbLeft, Shift);
    }
    void Down(double X, double Y, TMouseButton B = mbLeft) { Input(TViewPortInput::MouseDown, At(X, Y), B); }
    void Up(double X, double Y, TMouseButton B = mbLeft) { Input(TViewPortInput::MouseUp, At(X, Y), B); }
    // A move to the point, then a press and a release there.
    void Click(double X, double Y)
    {
        Move(X, Y);
        Down(X, Y);
        Up(X, Y);
    }
    // A frame of the view: the program's paint comes first, as the adapter sends it.
    void Frame()
    {
        Input(TViewPortInput::Paint, {});
        Viewer.RenderFrame(*View.Scene, *View.Camera);
    }
};

// The same with the program's undo log on the drawing, for the tasks and tools that edit it.
struct TEditingUndoFixture : TEditingFixture {
    TUndoRedo Undo;

    void SetUp() override
    {
        TEditingFixture::SetUp();
        // The undo log keeps the objects' images by their stream classes.
        RegisterDrawingClasses();
        Undo.AttachDrawing(&Drawing);
        UndoRedo = &Undo;
    }
    void TearDown() override
    {
        UndoRedo = nullptr;
        TEditingFixture::TearDown();
    }

    // The drawing as its file holds it.
    std::vector<uint8_t> Bytes()
    {
        TStreamWriter w;
        Drawing.SaveToStream(w);
        return w.Bytes();
    }
    // The drawing's objects in their order.
    std::vector<TObject2D*> All()
    {
        std::vector<TObject2D*> out;
        TGraphicObjIterator it = Drawing.ObjectsIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            out.push_back(static_cast<TObject2D*>(o));
        return out;
    }
    // Runs Tool (or a transform's starter) on the objects, as a finished pick selection hands
    // them over.
    void RunOn(TCADStateClass Tool, const std::vector<TObject2D*>& Objects)
    {
        auto param = std::make_unique<TQV_50SelectObjectsParam>(5, Tool);
        for (TObject2D* o : Objects)
            param->SelectedObjects.Add(*o);
        Prog.StartOperation(StateClass<TQV_50SelectObjects>(), std::move(param));
        Prog.SendUserEvent(ueDone);
    }
};
