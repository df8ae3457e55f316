#pragma once
// The view of the drawing: one scene seen from above through an orthographic camera, the groups
// that the entities, chains and 3D objects fill with their display objects, the 2D overlay drawn
// on top of every frame, the HUD texts, world/screen mapping, zooming, dragging and picking.
//
// Qt-free: the view works on the scene layer's node tree and on an abstract viewer
// (TSceneViewer). The GL widget that shows it lives in model/view (rastrel_view); tests attach a
// TRecordingViewer instead. The view does not own its viewer: a Qt widget belongs to its parent.
//
// Library layout: this file is part of rastrel_model_core, which links rastrel_scene_core because
// entities build their display objects as scene nodes; rastrel_scene_core in turn uses the
// kernel's matrices, exceptions and streams from rastrel_model_core. CMake links the two static
// libraries as one cycle.
#include "QVCmp.h"
#include "QVTypes.h"
#include "SceneCamera.h"
#include "SceneNodes.h"
#include "SceneViewer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TGraphicObject;
class TObject2D;
class TQV_01Cmp2D;

// Screen points of the overlay (pixels, origin top-left).
using TArrayGLScrPt = std::vector<TPoint>;

// The bits of TQVScene::OverlayMode.
constexpr uint8_t OverlayIdle = 1;
constexpr uint8_t OverlayRubberBand = 2;
constexpr uint8_t OverlayObjectsAndAperture = 4;
constexpr uint8_t OverlaySelectionRect = 8;
constexpr uint8_t OverlayObjectsOnly = 16;

// The ranks of the pick codes (HitTest): a miss, inside the box only, inside a closed outline,
// on the outline, and a control point (for containers: the ID of the child hit). All codes >= 0
// are one rank: an index or an ID is a name, not a quality.
int32_t PickRank(int32_t HitCode);

// The lines of a grid area, computed without a scene so that they can be checked as numbers.
struct TGridLines {
    std::vector<TVector3f> MajorX, MinorX, MajorY, MinorY; // strips of nodes, two per segment
};

// More grid lines than this (both directions, minor ones included) are never built: a tiny step
// would otherwise ask for millions of lines. The user is told so (text "GridTooDense").
constexpr double GridLineCap = 20000;

class TQVScene : public TDrawingView {
public:
    TQVScene();
    ~TQVScene() override;
    TQVScene(const TQVScene&) = delete;
    TQVScene& operator=(const TQVScene&) = delete;

    // Connects the viewer that shows the scene (not owned; nullptr detaches): its mouse events
    // drive the drag navigation and it is asked to repaint on every change of the scene.
    void AttachViewer(TSceneViewer* V);
    // The drawing that picking and rebuilding walk (not owned). Registers this view with it.
    void AttachDrawing(TQV_01Cmp2D* D);

    // ---- world and screen
    // A mapping of the current camera through the current viewer size.
    TSceneView View() const;
    TPoint VectorToScreen(const TVector3f& V) const;
    TPoint Point3DToScreen(const TPoint3D& P) const;
    TPoint WorldToScreen(const TPoint2D& P) const override;
    void WorldToScreenMany(const TPoint2D* P, size_t Count, TPoint* Out) const override;
    TPoint3D ScreenToWorld(int X, int Y) const;
    bool ScreenToWorldPlane(double X, double Y, TPoint2D& P) const override;
    // World units per pixel; a zero-width viewer counts as one pixel wide.
    double PixelSize() const;
    int ViewerWidth() const;
    int ViewerHeight() const;

    // ---- overlay
    void SetRubberBandObject(TGraphicObject* Obj);
    void ShowOverlayObjects(bool ShowCP);
    void ShowOverlayObjectsOnly();
    void HideApertureBox() { ApertureBoxShown = false; }
    void ResetOverlay();
    void SetSelectionRectStart(const TPoint2D& P);
    void SetSelectionRectEnd(const TPoint2D& P);
    // Asks the viewer for a new frame.
    void Repaint();

    // ---- zoom and camera
    // The box fills the viewer along both axes, centred. A box smaller than the system tolerance
    // (one point) only moves the centre and keeps the scale.
    void ZoomToBox(const TRect3D& B) override;
    void ZoomToScreenRect(const TRect& R);
    void ZoomToSelectionRect();
    // The drawing's extents (its ZoomToExtents), or the grid area without a drawing.
    void ZoomToExtents();
    TRect3D GridBox() const override;
    // The busy cursor while the drawing rebuilds (OnShowBusy).
    void ShowBusy(bool Busy) override;
    // Enlarges the picture by F around the pixel (X, Y), which keeps its world point.
    void ZoomAt(double F, int X, int Y);
    // Moves the picture so that what lay under pixel (FromX, FromY) comes under (ToX, ToY).
    void Pan(int FromX, int FromY, int ToX, int ToY);

    // ---- picking
    // The object under P within Aperture pixels: the best pick rank, then the nearest, the later
    // object among equals. Hidden objects, objects on hidden or locked layers and auxiliary objects
    // are never picked. Null on a blocked drawing (HitCode untouched).
    TObject2D* PickObject(const TPoint2D& P, uint16_t Aperture, bool FirstHit, int32_t& HitCode);
    TObject2D* PickPointOrArc(const TPoint2D& P, uint16_t Aperture, bool FirstHit, int32_t& HitCode,
                              bool PointsOnly);

    // ---- groups and rebuilding
    void ClearGroup(TSceneGroup& G);
    void RebuildAll(bool RenewStock) override;
    void ShowStatusText(const std::string& Text);
    void UpdateScaleText();
    bool AxesVisible() const;
    void SetAxesVisible(bool Value);

    // ---- grid
    void InitGrid();
    void SetGridSizeX(double S);
    void SetGridSizeY(double S);
    double GetGridSizeX() const;
    double GetGridSizeY() const;
    void SetGridOrigin(int32_t Mode);
    void SetGridStepX(double S);
    void SetGridStepY(double S);
    void SetGridSubdivX(int32_t N);
    void SetGridSubdivY(int32_t N);
    void SetGridVisible(bool V);
    void RebuildGrid();
    // True when the grid would be too dense and the user declines, or it is past GridLineCap
    // (the user is told).
    bool ConfirmDenseGrid();
    // The lines of the current grid settings; empty when a step is not positive.
    TGridLines GridLines() const;

    // ---- mouse (the viewer's events): a drag with the middle button, or with Shift and the left
    // button, pans; Ctrl and the left button zoom; Alt and the left button orbit.
    void ViewerMouseDown(const TViewerMouseEvent& E);
    void ViewerMouseMove(const TViewerMouseEvent& E);
    void ViewerMouseUp(const TViewerMouseEvent& E);

    // The per-frame overlay (the render callback of Overlay).
    void RenderOverlay(TRenderContext& Context);

    // ---- what the view holds
    std::unique_ptr<TScene> Scene;
    TSceneViewer* Viewer = nullptr; // not owned
    TCameraNode* Camera = nullptr;
    TSceneGroup* AxesGroup = nullptr;
    TLineStrip* AxisX = nullptr;
    TLineStrip* AxisY = nullptr;
    TLineStrip* AxisZ = nullptr;
    TBoxNode* LimitsBox = nullptr;

    TSceneGroup* GridGroup = nullptr;
    TPoint2D GridMin{}, GridMax{};
    TSceneColor GridLineColor;
    double GridStepX = 0, GridStepY = 0;
    int32_t GridSubdivX = 0, GridSubdivY = 0;
    int32_t GridOrigin = 0;
    bool GridVisible = true;

    TRenderCallback* Overlay = nullptr;
    uint8_t OverlayMode = OverlayIdle;
    TGraphicObject* RubberBandObject = nullptr; // not owned
    bool ShowControlPoints = false;
    std::vector<TGraphicObject*> OverlayObjects; // not owned
    TArrayGLScrPt ApertureBox = TArrayGLScrPt(5);
    TArrayGLScrPt SelectionRect = TArrayGLScrPt(5);

    TSceneGroup* CameraRig = nullptr;
    TSceneGroup* DrawingGroup = nullptr;
    TSceneGroup* Group3D = nullptr;
    TSceneGroup* HighlightGroup = nullptr;
    TSceneGroup* ChainGroup = nullptr;
    TSceneGroup* ChainMarksGroup = nullptr;
    TLightNode* Light = nullptr;

    int32_t LastX = 0, LastY = 0, CurX = 0, CurY = 0;
    // Called by the interaction program on every mouse move with the cursor's world point.
    std::function<void(TQVScene& Sender, const TViewerMouseEvent& E, double WX, double WY)> OnMouseMove2D;

    // The group into which an entity's line builders put their scene objects.
    TSceneGroup* TargetGroup = nullptr;

    THudText* StatusText = nullptr;
    THudText* ScaleText = nullptr;
    // How far above the viewer's bottom edge the scale bar's line lies, in pixels.
    static constexpr int ScaleBarRise = 20;

    bool Dragging = false;
    bool ApertureBoxShown = false;
    bool SolidSimShown = false;
    bool GridRebuildEnabled = false;

    TQV_01Cmp2D* Drawing = nullptr; // not owned

    // ---- what the machining part and the shell plug in (all optional)
    // Draws the material-removal display while SolidSimShown.
    std::function<void(TRenderContext&)> OnRenderSolidSim;
    // The simulator's tool marker: the flag, and its size refresh with the current PixelSize.
    std::function<bool()> ToolMarkerShown;
    std::function<void(double PixelSize)> SizeToolMarker;
    std::function<void()> ClearToolMarkerFlag;
    // Removes every machining operation's toolpath display.
    std::function<void()> HideAllPaths;
    // Frees the stock box (before Group3D is emptied) and makes a new one (after).
    std::function<void()> FreeStock, CreateStock;
    // Asks the dense-grid question; true when the user answers Yes. Without it the grid is built.
    std::function<bool()> AskDenseGrid;
    // Shows the busy cursor and lets pending window messages run (true), or restores the cursor.
    std::function<void(bool Busy)> OnShowBusy;

private:
    // The objects near the point of the pick under way, reused from pick to pick.
    std::vector<TObject2D*> PickCandidates;

    void BuildGrid();
    void SetAxisNodes(double Half);
    void DrawTripod(TCanvas2D& Canvas, const TRenderContext& Context);
    TObject2D* Pick(const TPoint2D& P, uint16_t Aperture, bool FirstHit, int32_t& HitCode,
                    const std::function<bool(const TObject2D&)>& Accept);
};

// The program-wide view, made by the main window (not owned here).
extern TQVScene* DrawingView;
