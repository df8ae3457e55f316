#pragma once
// What the drawing model and the editing tools need from the subsystems above them: the main
// window and the tool window (the shell), the placement panel of an opened file (import) and
// the machining part. The higher subsystems install their implementations at start; until then
// silent stand-ins answer, so the core and its tests run without any of them.
#include "QVTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TStreamWriter;
class TStreamReader;
class TListaCatene;
class TListaTab;
class TEtichetta;

// ---- The shell: main window ----------------------------------------------------------------

struct TWindowPlacement {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool Maximized = false;
};

enum class TMsgIcon { None, Information, Warning, Error, Question };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class TMsgResult { Ok, Cancel, Yes, No };

// The screen cursors the main window registers at start; the view and the tasks select them by
// these numbers.
enum TCursorSlot : int32_t { crPan = 1, crCroce = 2, crCropf = 3, crCromp = 4, crCroct = 5, crCropt = 6 };

// A node of a tree view; 0 is no node.
using TTreeNodeId = intptr_t;

// The main window's geometry tree, as the geometry-tree routines fill it.
class TGeoTreeView {
public:
    virtual ~TGeoTreeView() = default;
    // Appends a node as the last child of Parent (0: a top-level node). Data is the caller's
    // number (a layer index + 1 or an object's ID); Image is used for the normal and selected image.
    virtual TTreeNodeId AddChild(TTreeNodeId Parent, const std::string& Caption, int64_t Data, int32_t Image) = 0;
    virtual void DeleteNode(TTreeNodeId Node) = 0;
    virtual void Clear() = 0;
    // The first top-level node, 0 when the tree is empty.
    virtual TTreeNodeId FirstNode() const = 0;
    virtual void SetCaption(TTreeNodeId Node, const std::string& Caption) = 0;
    virtual void SelectNode(TTreeNodeId Node) = 0;
    // Bracket bulk additions.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
};

class TMainWindowServices {
public:
    virtual ~TMainWindowServices() = default;
    // Shows Text in the status bar's message item and repaints the status bar at once.
    virtual void SetStatusMessage(const std::string& Text) = 0;
    // The main window's position and size; false when there is no main window.
    virtual bool GetPlacement(TWindowPlacement& Placement) const = 0;
    // A modal message box. Texts come from the language file (caption 450 in most places).
    virtual TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                                  TMsgButtons Buttons) = 0;
    // The geometry tree; null when there is none.
    virtual TGeoTreeView* GeoTree() = 0;
};

// ---- The shell: tool window ----------------------------------------------------------------

// The tool window's controls are reached by their names (txtTransDx, cboCCDir, ...).
class TToolWindowServices {
public:
    virtual ~TToolWindowServices() = default;
    // Shows the window with only the given pages (the last one active), captioned with the text
    // of CaptionKey in the tool window's language section, at that client size.
    virtual void ShowPages(const std::vector<std::string>& Tabs, const std::string& CaptionKey, int32_t ClientWidth,
                           int32_t ClientHeight) = 0;
    virtual void Hide() = 0;
    virtual bool IsShowing() const = 0;
    // Text of an edit, caption of a label or group; empty for an unknown name.
    virtual std::string ControlText(const std::string& Name) const = 0;
    virtual void SetControlText(const std::string& Name, const std::string& Text) = 0;
    // Check boxes and radio buttons; false for an unknown name.
    virtual bool ControlChecked(const std::string& Name) const = 0;
    // Combo boxes and radio groups; -1 for an unknown name or no selection.
    virtual int32_t ControlItemIndex(const std::string& Name) const = 0;
    virtual std::vector<std::string> ControlItems(const std::string& Name) const = 0;
    virtual void SetControlVisible(const std::string& Name, bool Visible) = 0;
    virtual void FocusControl(const std::string& Name) = 0;
};

// ---- Import: the placement panel of an opened file -----------------------------------------

class TVecRasInfo {
public:
    virtual ~TVecRasInfo() = default;
    // The panel waits for an origin picked in the view; the interaction program reads and
    // clears the flag on every button-down in the view.
    bool PickArmed = false;
    void ArmOriginPick() { PickArmed = true; }
    // Adds P.X / the panel's X scale and P.Y / its Y scale to the placement origin.
    virtual void SetOriginPoint(const TPoint2D& P) = 0;
    // Applies the placement to the imported objects, as the Apply button does.
    virtual void ApplyClick() = 0;
};

// The placement panel while one exists, else null. Not owned.
extern TVecRasInfo* DlgOpenGeo;

// ---- Machining -----------------------------------------------------------------------------

// The drawing file's operations block after byte 4. Empty until the machining part installs
// them; the drawing then writes and reads nothing after byte 4.
using TOpsStreamWriter = std::function<void(TStreamWriter& Stream)>;
using TOpsStreamReader = std::function<void(TStreamReader& Stream, const std::string& FileTag)>;
extern TOpsStreamWriter OpsStreamWriter;
extern TOpsStreamReader OpsStreamReader;

struct THoleFilter {
    bool Enabled = false;
    double Diameter = 0;
    double Tolerance = 0;
};

// The machining operation shown in the tool window, as the chain, tab and label tools read it.
class TCurrentOperation {
public:
    virtual ~TCurrentOperation() = default;
    virtual uint8_t OpType() const = 0;  // 3 drilling, 12 label, ...
    virtual TListaCatene* Chains() = 0;  // owned by the operation
    virtual bool LayerPriority() const = 0;
    virtual THoleFilter HoleFilter() const = 0;
    virtual TListaTab* Tabs() = 0;
    virtual TEtichetta* Label() = 0;  // type 12 only, else null
    virtual double LatheToolSize() const = 0;
};

class TMachiningServices {
public:
    virtual ~TMachiningServices() = default;
    // Draws the material-removal display; the view calls it first in every overlay frame while
    // its solid-display flag is set.
    virtual void RenderSolidSim() = 0;
    // The laser point cloud of the simulator: while it is shown the view keeps its point size at
    // the tool diameter in pixels; clearing a scene group ends that.
    virtual bool LaserShown() const = 0;
    virtual void SetLaserShown(bool Shown) = 0;
    virtual void SetLaserPointSize(double Pixels) = 0;
    virtual double CurrentToolDiameter() const = 0;
    // Removes every operation's toolpath display (a full rebuild of the view).
    virtual void HideAllPaths() = 0;
    // The operation shown in the tool window, null when none.
    virtual TCurrentOperation* CurrentOp() = 0;
};

// ---- Installation --------------------------------------------------------------------------

// The installed implementation, or a silent stand-in when none is installed: no status line, no
// placement, message boxes written to stderr and answered with the cautious choice (No, Cancel,
// else OK), no tree, empty controls, no machining.
TMainWindowServices& MainWindow();
TToolWindowServices& ToolWindow();
TMachiningServices& Machining();
// Installs an implementation (not owned); null brings the stand-in back.
void SetMainWindowServices(TMainWindowServices* Services);
void SetToolWindowServices(TToolWindowServices* Services);
void SetMachiningServices(TMachiningServices* Services);
