#include "CommandTable.h"

#include "Commands.h"

namespace {

constexpr auto Anytime = TCommandNeeds::Nothing;
constexpr auto NoJob = TCommandNeeds::Drawing;
constexpr auto Off = TCommandNeeds::SwitchedOff;

} // namespace

const std::vector<TCommand>& CommandTable()
{
    static const std::vector<TCommand> table = {
        // ---- the file toolbar and its drop-downs
        {.Name = "sbtNew", .Text = "New", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 0,
         .Run = sbtNewClick},
        {.Name = "sbtOpen", .Text = "Open", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 1,
         .Run = mnuOpenClick},
        {.Name = "sbtVect", .Text = "Vectorize", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 2,
         .Pages = {{"tabVectorize"}, "twVect", 432, 452}, .Run = sbtVectClick},
        {.Name = "sbtSave", .Text = "Save", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 3,
         .Run = MySaveClick},
        {.Name = "sbtCnc", .Text = "Machining", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 4,
         .Needs = Off},
        {.Name = "sbtSetting", .Text = "Settings", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 5},
        {.Name = "sbtAbout", .Text = "Help", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 6},
        {.Name = "sbtExit", .Text = "Exit", .Toolbar = "tbrFile", .IconList = "imgListFile", .IconIndex = 7,
         .Run = sbtExitClick},
        {.Name = "mnuMerge", .Text = "Merge...", .Run = mnuMergeClick},
        {.Name = "mnuSave", .Text = "Save", .IconList = "imgListFile", .IconIndex = 3, .Run = mnuSaveClick},
        {.Name = "mnuSaveAs", .Text = "Save as...", .Run = mnuSaveAsClick},
        {.Name = "mnuHelp", .Text = "Help"},
        {.Name = "mnuTutor", .Text = "Tutorials"},
        {.Name = "mnuAbout", .Text = "About", .IconList = "imgListFile", .IconIndex = 6, .Run = mnuAboutClick},
        {.Name = "mnuWebUpdate", .Text = "Check for updates"},
        {.Name = "mnuWeb", .Text = "Web site", .IconList = "imgListFile", .IconIndex = 9},

        // ---- the drawing toolbar: its drop-down buttons come with the drawing commands
        {.Name = "sbtPoint", .Text = "Point", .Toolbar = "tbrCreate", .IconList = "imgListCreate", .IconIndex = 0},
        {.Name = "sbtLine", .Text = "Line", .Toolbar = "tbrCreate", .IconList = "imgListCreate", .IconIndex = 1},
        {.Name = "sbtRectangle", .Text = "Rectangle", .Toolbar = "tbrCreate", .IconList = "imgListCreate",
         .IconIndex = 2},
        {.Name = "sbtArc", .Text = "Arc", .Toolbar = "tbrCreate", .IconList = "imgListCreate", .IconIndex = 3},
        {.Name = "sbtPoly", .Text = "Polyline", .Toolbar = "tbrCreate", .IconList = "imgListCreate", .IconIndex = 4},
        {.Name = "sbtSpline", .Text = "Spline", .Toolbar = "tbrCreate", .IconList = "imgListCreate", .IconIndex = 5},
        {.Name = "sbtText", .Text = "Text", .Toolbar = "tbrCreate", .IconList = "imgListCreate", .IconIndex = 6},

        // ---- the view toolbar, also in the view's pop-up menu
        {.Name = "sbtAutozoom", .Text = "Zoom to extents", .Toolbar = "tbrView", .MenuName = "mnuAutozoom",
         .MenuText = "Zoom to extents", .IconList = "imgListView", .IconIndex = 0, .Shortcut = "F2", .Needs = NoJob,
         .Run = mnuAutozoomClick},
        {.Name = "sbtZoomIn", .Text = "Zoom in", .Toolbar = "tbrView", .MenuName = "mnuZoomIn",
         .MenuText = "Zoom in", .IconList = "imgListView", .IconIndex = 1, .Shortcut = "Ctrl+F2", .Needs = NoJob,
         .Run = sbtZoomInClick},
        {.Name = "sbtZoomBack", .Text = "Zoom out", .Toolbar = "tbrView", .MenuName = "mnuZoomOut",
         .MenuText = "Zoom out", .IconList = "imgListView", .IconIndex = 2, .Shortcut = "Shift+F2", .Needs = NoJob,
         .Run = sbtZoomBackClick},
        {.Name = "sbtZoomWin", .Text = "Zoom window", .Toolbar = "tbrView", .MenuName = "mnuZoomWindow",
         .MenuText = "Zoom window", .IconList = "imgListView", .IconIndex = 3, .Shortcut = "Ctrl+F1",
         .Needs = NoJob, .Run = mnuZoomWindowClick},
        {.Name = "sbtPan", .Text = "Pan", .Toolbar = "tbrView", .MenuName = "mnuPan", .MenuText = "Pan",
         .IconList = "imgListView", .IconIndex = 4, .Needs = NoJob, .Run = mnuPanClick},
        {.Name = "sbtRedraw", .Text = "Redraw", .Toolbar = "tbrView", .IconList = "imgListView", .IconIndex = 5,
         .Shortcut = "F3", .Needs = NoJob, .Run = sbtRedrawClick},
        {.Name = "sbtTopView", .Text = "Top view", .Toolbar = "tbrView", .IconList = "imgListView", .IconIndex = 6,
         .Needs = NoJob, .Run = sbtTopViewClick},
        {.Name = "sbtFrontView", .Text = "Front view", .Toolbar = "tbrView", .IconList = "imgListView",
         .IconIndex = 7, .Needs = NoJob, .Run = sbtFrontViewClick},
        {.Name = "sbtSideView", .Text = "Side view", .Toolbar = "tbrView", .IconList = "imgListView",
         .IconIndex = 8, .Needs = NoJob, .Run = sbtSideViewClick},
        {.Name = "sbtIsoView", .Text = "Isometric view", .Toolbar = "tbrView", .IconList = "imgListView",
         .IconIndex = 9, .Needs = NoJob, .Run = sbtIsoViewClick},

        // ---- the edit toolbar: its drop-down buttons come with the editing commands
        {.Name = "sbtUndo", .Text = "Undo", .Toolbar = "tbrEdit", .IconList = "imgListModify", .IconIndex = 0,
         .Run = sbtUndoClick},
        {.Name = "sbtDelete", .Text = "Delete", .Toolbar = "tbrEdit", .IconList = "imgListModify", .IconIndex = 1},
        {.Name = "sbtModify", .Text = "Modify", .Toolbar = "tbrEdit", .IconList = "imgListModify", .IconIndex = 2},
        {.Name = "sbtXform", .Text = "Transform", .Toolbar = "tbrEdit", .IconList = "imgListModify",
         .IconIndex = 3},
        {.Name = "sbtAnalyze", .Text = "Analyze", .Toolbar = "tbrEdit", .IconList = "imgListModify",
         .IconIndex = 4},

        // ---- the status bar's buttons, the pop-up's twins of some of them, and the snap items
        {.Name = "sbtUseOrtho", .Text = "Ortho", .Toolbar = "tbrStatusBar", .MenuName = "mnuOrtho",
         .MenuText = "Orthogonal", .IconList = "imgListStatus", .IconIndex = 12, .Needs = Anytime,
         .Checkable = true},
        {.Name = "sbtWinSel", .Text = "Window", .Toolbar = "tbrStatusBar", .MenuName = "mnuWinSelect",
         .MenuText = "Window selection", .IconList = "imgListStatus", .IconIndex = 13, .Needs = Anytime,
         .Checkable = true},
        {.Name = "sbtAxisOnOff", .Text = "Axes", .Toolbar = "tbrStatusBar", .IconList = "imgListStatus",
         .IconIndex = 14, .Needs = Anytime, .Checkable = true, .Run = sbtAxisOnOffClick},
        {.Name = "sbtGridOnOff", .Text = "Grid", .Toolbar = "tbrStatusBar", .IconList = "imgListStatus",
         .IconIndex = 15, .Needs = Anytime, .Checkable = true, .Run = sbtGridOnOffClick},
        {.Name = "sbtCancel", .Text = "Cancel", .Toolbar = "tbrStatusBar", .MenuName = "mnuCancel",
         .MenuText = "Cancel", .IconList = "imgListStatus", .IconIndex = 16, .Needs = Anytime,
         .Run = mnuCancelClick},
        {.Name = "sbtDone", .Text = "Done", .Toolbar = "tbrStatusBar", .MenuName = "mnuDone", .MenuText = "Done",
         .IconList = "imgListStatus", .IconIndex = 17, .Needs = Anytime, .Run = mnuDoneClick},
        {.Name = "sbtLayer", .Text = "Layer", .Toolbar = "tbrStatusBar", .Needs = Anytime, .Run = sbtLayerClick},
        {.Name = "mnuSBGridSet", .Text = "Grid...", .Needs = Anytime, .Run = mnuSBGridSetClick},
        {.Name = "mnuCoord", .Text = "Coordinates...", .Needs = Anytime},
        {.Name = "mnuSnapNone", .Text = "No snap", .Needs = Anytime, .Checkable = true},
        {.Name = "mnuSnapEnd", .Text = "End point", .Needs = Anytime, .Checkable = true},
        {.Name = "mnuSnapMid", .Text = "Mid point", .Needs = Anytime, .Checkable = true},
        {.Name = "mnuSnapCenter", .Text = "Centre", .Needs = Anytime, .Checkable = true},
        {.Name = "mnuSnapPoint", .Text = "Point", .Needs = Anytime, .Checkable = true},
        {.Name = "mnuSnapAuto", .Text = "Automatic", .Needs = Anytime, .Checkable = true},

        // ---- the geometry tree's pop-up menu: its commands come with the layer commands
        {.Name = "mnuLayerDialog", .Text = "Layers..."},
        {.Name = "mnuLayerOnOff", .Text = "Layer on/off"},
        {.Name = "mnuLayerHide", .Text = "Hide the other layers"},
        {.Name = "mnuLayerShow", .Text = "Show all layers"},
        {.Name = "mnuGeoDelete", .Text = "Delete"},
    };
    return table;
}

const std::vector<TMenuLayout>& MenuLayouts()
{
    static const std::vector<TMenuLayout> layouts = {
        {"sbtOpen", "", {"mnuRecentF", "mnuMerge"}},
        {"mnuRecentF", "Recent files", {}}, // filled with the recent files
        {"sbtSave", "", {"mnuSave", "mnuSaveAs"}},
        {"sbtAbout", "", {"mnuHelp", "mnuTutor", "mnuAbout", "mnuWebUpdate", "mnuWeb"}},
        {"mnuSnapTo",
         "Snap",
         {"mnuSnapNone", "mnuSnapEnd", "mnuSnapMid", "mnuSnapCenter", "mnuSnapPoint", "mnuSnapAuto"}},
        {"PopupDestro",
         "",
         {"mnuDone", "mnuCancel", "mnuCoord", "mnuSnapTo", "mnuPan", "mnuAutozoom", "mnuZoomWindow", "mnuZoomIn",
          "mnuZoomOut", "mnuWinSelect", "mnuOrtho"}},
        {"PopupTreeGeo", "", {"mnuLayerDialog", "mnuLayerOnOff", "mnuLayerHide", "mnuLayerShow", "mnuGeoDelete"}},
    };
    return layouts;
}
