#pragma once
// The handlers of the main window's commands, one unit per family; the table (CommandTable.cpp)
// names them. Each runs under the guard, with the program's objects in its context, and answers
// whether its command has started (see TCommandHandler).
#include "CommandTable.h"

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

// ---- edit (CommandsEdit.cpp)
bool sbtUndoClick(TCommandContext& C);

// ---- modify (CommandsModify.cpp): the tools on picked entities and the constructions
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
