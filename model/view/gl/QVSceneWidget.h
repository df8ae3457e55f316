#pragma once
// Puts a drawing view on screen: a GL viewer on the parent widget, filling it, showing the view's
// scene through its camera, its mouse events going to the view. The dense-grid question becomes
// a Yes/No message box. The parent owns the viewer; when the viewer goes, the view forgets it.
#include "QVScene.h"
#include "SceneWidget.h"

class QWidget;

TSceneWidget* CreateViewWidget(TQVScene& View, QWidget* Parent);
