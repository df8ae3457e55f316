#pragma once
// The handlers of the main window's commands, one unit per family; the table (CommandTable.cpp)
// names them. Each runs under the guard, with the program's objects in its context, and answers
// whether its command has started (see TCommandHandler).
#include "CommandTable.h"
#include "QVCADPrg.h"

// ---- file (CommandsFile.cpp): the file toolbar's commands and their drop-downs
bool sbtNewClick(TCommandContext& C);
bool mnuOpenClick(TCommandContext& C);
bool mnuMergeClick(TCommandContext& C);
bool MySaveClick(TCommandContext& C);
bool mnuSaveClick(TCommandContext& C);
bool mnuSaveAsClick(TCommandContext& C);
bool sbtExitClick(TCommandContext& C);

// ---- help (CommandsHelp.cpp)
bool mnuAboutClick(TCommandContext& C);
bool mnuWebUpdateClick(TCommandContext& C);

// ---- settings and dialogs (CommandsSettings.cpp): the settings page, the layer, coordinate and
// grid dialogs and the grid snap
bool sbtConfigClick(TCommandContext& C);
bool mnuLayerDialogClick(TCommandContext& C);
bool mnuCoordClick(TCommandContext& C);
bool mnuSnap2GridClick(TCommandContext& C);

// ---- tracing (CommandsTrace.cpp)
bool sbtVectClick(TCommandContext& C);

// ---- view (CommandsView.cpp): the view toolbar and the view's pop-up menu
bool mnuAutozoomClick(TCommandContext& C);
bool sbtZoomInClick(TCommandContext& C);
bool sbtZoomBackClick(TCommandContext& C);
bool mnuZoomWindowClick(TCommandContext& C);
bool mnuPanClick(TCommandContext& C);
bool sbtRedrawClick(TCommandContext& C);
bool sbtTopViewClick(TCommandContext& C);
bool sbtFrontViewClick(TCommandContext& C);
bool sbtSideViewClick(TCommandContext& C);
bool sbtIsoViewClick(TCommandContext& C);

// ---- tools (CommandsTools.cpp): offset, points along, small objects, the drawing report and the
// end points
bool MyOffsetClick(TCommandContext& C);
bool mnuPtAlongClick(TCommandContext& C);
bool MyDeleteSmallClick(TCommandContext& C);
bool MyInfoClick(TCommandContext& C);
bool MyShowEndPtClick(TCommandContext& C);

// ---- edit (CommandsEdit.cpp)
bool sbtUndoClick(TCommandContext& C);

// ---- drawing (CommandsDraw.cpp): the drawing toolbar and its drop-downs
bool MyPuntoClick(TCommandContext& C);
bool MySubLineClick(TCommandContext& C);
bool sbtRectangleClick(TCommandContext& C);
bool MyArcClick(TCommandContext& C);
bool MyCircle3PtClick(TCommandContext& C);
bool MyArcCtPtSaEaClick(TCommandContext& C);
bool MyArc3PtClick(TCommandContext& C);
bool mnuEllipseCloseClick(TCommandContext& C);
bool mnuEllipseOpenClick(TCommandContext& C);
bool sbtPolyClick(TCommandContext& C);
bool sbtSplineClick(TCommandContext& C);

// ---- modify (CommandsModify.cpp): the edit toolbar's commands on a selection
// Starts the selection task whose result goes to Tool: picks one by one (marked in the geometry
// tree) or, with Window, a window.
bool StartSelection(TCommandContext& C, TCADStateClass Tool, bool Window);
// The window-selection switch (mnuWinSelect) is on.
bool WindowSelectionOn(TCommandContext& C);
bool MyDeleteClick(TCommandContext& C);
bool MyDeleteWinClick(TCommandContext& C);
bool MySemplificaPolyClick(TCommandContext& C);

// ---- transforms and the other edit tools (CommandsTransform.cpp)
bool MyTraslaClick(TCommandContext& C);
bool MyRuotaClick(TCommandContext& C);
bool MySpecchiaClick(TCommandContext& C);
bool MyScalaClick(TCommandContext& C);
bool MyDistanceClick(TCommandContext& C);
bool MyMoveNodeClick(TCommandContext& C);
bool MyExplodeClick(TCommandContext& C);
bool MyChangeLayerClick(TCommandContext& C);

// ---- editing tools (CommandsEditTools.cpp): the tools on picked entities and the constructions
bool MyFilletClick(TCommandContext& C);
bool MyTrimClick(TCommandContext& C);
bool MyBreakClick(TCommandContext& C);
bool MyDivideClick(TCommandContext& C);
bool MyJoinClick(TCommandContext& C);
bool MyExtendClick(TCommandContext& C);
bool MyLinePerpClick(TCommandContext& C);
bool MyLineTangent2ArcClick(TCommandContext& C);
bool MyLineTangentAngleClick(TCommandContext& C);
bool MyArcTangent1Click(TCommandContext& C);
bool MyArcTangent2Click(TCommandContext& C);
bool MySel1Entita(TCommandContext& C);

// ---- status bar (CommandsStatus.cpp): its switches and buttons, and the pop-up's twins
bool sbtAxisOnOffClick(TCommandContext& C);
bool sbtGridOnOffClick(TCommandContext& C);
bool mnuCancelClick(TCommandContext& C);
bool mnuDoneClick(TCommandContext& C);
bool sbtLayerClick(TCommandContext& C);
bool mnuSBGridSetClick(TCommandContext& C);
bool sbtUseOrthoClick(TCommandContext& C);
bool mnuSnapNoneClick(TCommandContext& C);
bool mnuSnapEndClick(TCommandContext& C);
bool mnuSnapMidClick(TCommandContext& C);
bool mnuSnapCenterClick(TCommandContext& C);
bool mnuSnapPointClick(TCommandContext& C);
bool mnuSnapAutoClick(TCommandContext& C);
