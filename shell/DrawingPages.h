#pragma once
// The tool window's drawing-command pages: translate, rotate, scale, mirror, explode and the
// move/copy-to-layer page. Each page is built on its sheet with its controls named as the tasks
// read them (txtTransDx, gprMirrorAxis, cboLayerTo ...); its handlers turn edits into user events
// of the running task, or start the layer tools.
class TfrmMain;
class TfrmToolWin;

// Builds the pages on the tool window's sheets and connects their handlers.
void BuildDrawingPages(TfrmToolWin& ToolWin, TfrmMain& Main);
