// The edit toolbar's transforms, the distance, the control points, the layer page and explode:
// each starts the selection or task of its tool.
#include "Commands.h"

#include "ProgramObjects.h"
#include "QVCmp.h"
#include "QVEditPrimitive.h"
#include "QVLayerTools.h"
#include "QVPrg2D.h"
#include "QVServices.h"
#include "QVTasks.h"
#include "QVTransformTasks.h"
#include "UnitMain.h"

#include <QComboBox>

#include <memory>
#include <string>

namespace {

// The page's copy choice decides, then a pick or window selection for the starter.
bool Transform(TCommandContext& C, const char* CopyButton, TCADStateClass Starter)
{
    CopyObjects = ToolWindow().ControlChecked(CopyButton);
    return StartSelection(C, Starter, WindowSelectionOn(C));
}

} // namespace

bool MyTraslaClick(TCommandContext& C)
{
    return Transform(C, "rbtTransCopy", StateClass<TQV_81TraslaSelectedObjects>());
}

bool MyRuotaClick(TCommandContext& C)
{
    return Transform(C, "rbtRotateCopy", StateClass<TQV_82RuotaSelectedObjects>());
}

bool MySpecchiaClick(TCommandContext& C)
{
    return Transform(C, "rbtMirrorCopy", StateClass<TQV_83SpecchiaSelectedObjects>());
}

bool MyScalaClick(TCommandContext& C)
{
    return Transform(C, "rbtScaleCopy", StateClass<TQV_84ScalaSelectedObjects>());
}

bool MyDistanceClick(TCommandContext& C)
{
    return C.Objects.Prog->StartOperation(StateClass<TQV_70Sel2Punti>(),
                                          std::make_unique<TQV_70Sel2PuntiParam>(nullptr));
}

bool MyMoveNodeClick(TCommandContext& C)
{
    // One primitive; no tree marking, the editor shows it.
    return C.Objects.Prog->StartOperation(
        StateClass<TQV_50Seleziona1Ogg>(),
        std::make_unique<TQV_50SelectObjectsParam>(5, StateClass<TQV_60EditSelectedPrimitive>()));
}

bool MyExplodeClick(TCommandContext& C)
{
    return StartSelection(C, StateClass<TQV2D_Esplode>(), WindowSelectionOn(C));
}

bool MyChangeLayerClick(TCommandContext& C)
{
    ToolWindow().SetControlText("lblMCLayer", "");
    C.Objects.Prog->UsaSnap = false;
    // The 256 layers by number and name, the current one chosen.
    if (auto* combo = C.Main.findChild<QComboBox*>("cboLayerTo")) {
        combo->clear();
        for (int i = 0; i < 256; ++i)
            combo->addItem(
                QString::fromStdString(std::to_string(i) + " - " +
                                       C.Objects.Drawing->Layers.GetLayer(static_cast<uint8_t>(i)).Name));
        combo->setCurrentIndex(C.Objects.Drawing->CurrentLayer);
    }
    return true;
}
