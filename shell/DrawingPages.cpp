#include "DrawingPages.h"

#include "QVCADPrg.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVLayerTools.h"
#include "QVPrg2D.h"
#include "QVRadioGroup.h"
#include "QVTasks.h"
#include "QVTransformTasks.h"
#include "QVVariabili.h"
#include "UnitMain.h"
#include "UnitToolWin.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace {

// A page's controls are made with their names; the layout only places them.
template <class T> T* Named(const char* Name, QWidget* Parent)
{
    auto* w = new T(Parent);
    w->setObjectName(Name);
    return w;
}

QLineEdit* Edit(const char* Name, const char* Text, TKeyFilterProc Filter, QWidget* Parent)
{
    auto* e = Named<QLineEdit>(Name, Parent);
    e->setText(Text);
    InstallKeyFilter(e, Filter);
    return e;
}

QRadioButton* Radio(const char* Name, const char* Text, bool Checked, QWidget* Parent)
{
    auto* r = Named<QRadioButton>(Name, Parent);
    r->setText(Text);
    r->setChecked(Checked);
    return r;
}

QPushButton* Ok(const char* Name, QWidget* Parent)
{
    auto* b = Named<QPushButton>(Name, Parent);
    b->setText("OK");
    return b;
}

void SendUser(uint16_t Code)
{
    if (CADProgram)
        CADProgram->SendUserEvent(Code);
}

// A value edit of a running transform: a complete number typed by the user sends its event.
void SendWhenTyped(QLineEdit* E, uint16_t Code)
{
    QObject::connect(E, &QLineEdit::textChanged, E, [E, Code](const QString& Text) {
        if (E->hasFocus() && NumeroValido(Text.toStdString()))
            GuardedCall([&] { SendUser(Code); });
    });
}

// The move and copy buttons of a page: the choice, and the repeat count shown only for copies.
void MoveOrCopy(QRadioButton* Move, QRadioButton* Copy, QWidget* StepLabel, QLineEdit* Repeat)
{
    const auto show = [=](bool CopyMode) {
        CopyObjects = CopyMode;
        if (StepLabel)
            StepLabel->setVisible(CopyMode);
        if (Repeat)
            Repeat->setVisible(CopyMode);
    };
    QObject::connect(Move, &QRadioButton::clicked, Move, [show] { show(false); });
    QObject::connect(Copy, &QRadioButton::clicked, Copy, [show] { show(true); });
    if (Repeat)
        QObject::connect(Repeat, &QLineEdit::textChanged, Repeat, [](const QString& Text) {
            if (!Text.isEmpty() && TransformTask)
                TransformTask->SetRepeatCount(Text.toStdString());
        });
}

// The group of move/copy and repeat count that the translate, rotate and scale pages share.
QGroupBox* MoveCopyGroup(QWidget* Sheet, const char* Group, const char* Move, const char* Copy,
                         const char* Step, const char* Repeat)
{
    auto* g = Named<QGroupBox>(Group, Sheet);
    auto* form = new QFormLayout(g);
    QRadioButton* move = Radio(Move, "Move", false, g);
    QRadioButton* copy = Radio(Copy, "Copy", true, g);
    auto* step = Named<QLabel>(Step, g);
    step->setText("Copies");
    QLineEdit* repeat = Edit(Repeat, "1", SoloNumeriInteri, g);
    form->addRow(move, copy);
    form->addRow(step, repeat);
    MoveOrCopy(move, copy, step, repeat);
    return g;
}

void BuildTranslate(QWidget* Sheet)
{
    auto* layout = new QVBoxLayout(Sheet);
    QGroupBox* g = MoveCopyGroup(Sheet, "grpTranslate", "rbtTransMove", "rbtTransCopy", "lblTransNStep",
                                 "txtTransRepeat");
    auto* form = static_cast<QFormLayout*>(g->layout());
    QLineEdit* dx = Edit("txtTransDx", "0", SoloNumeriEMeno, g);
    QLineEdit* dy = Edit("txtTransDy", "0", SoloNumeriEMeno, g);
    form->insertRow(0, "dX", dx);
    form->insertRow(1, "dY", dy);
    SendWhenTyped(dx, ueTranslateChanged);
    SendWhenTyped(dy, ueTranslateChanged);
    layout->addWidget(g);
    QPushButton* ok = Ok("sbtTranslateOk", Sheet);
    layout->addWidget(ok);
    QObject::connect(ok, &QPushButton::clicked, ok, [] { GuardedCall([] { SendUser(ueDone); }); });
}

void BuildRotate(QWidget* Sheet)
{
    auto* layout = new QVBoxLayout(Sheet);
    QGroupBox* g = MoveCopyGroup(Sheet, "grpRotate", "rbtRotateMove", "rbtRotateCopy", "lblRotateNStep",
                                 "txtRotateRepeat");
    QLineEdit* angle = Edit("txtRotateAngle", "0", SoloNumeriEMeno, g);
    static_cast<QFormLayout*>(g->layout())->insertRow(0, "Angle", angle);
    SendWhenTyped(angle, ueRotateChanged);
    layout->addWidget(g);
    QPushButton* ok = Ok("sbtRotateOk", Sheet);
    layout->addWidget(ok);
    QObject::connect(ok, &QPushButton::clicked, ok, [] { GuardedCall([] { SendUser(ueDone); }); });
}

void BuildScale(QWidget* Sheet)
{
    auto* layout = new QVBoxLayout(Sheet);
    layout->addWidget(
        MoveCopyGroup(Sheet, "grpScale", "rbtScaleMove", "rbtScaleCopy", "lblScaleNStep", "txtScaleRepeat"));
    auto* f = Named<QGroupBox>("grpScaleFact", Sheet);
    auto* form = new QFormLayout(f);
    QRadioButton* uniform = Radio("rbtScaleUniform", "Uniform", true, f);
    QRadioButton* xy = Radio("rbtScaleXy", "X and Y", false, f);
    auto* lblX = Named<QLabel>("lblScaleX", f);
    auto* lblY = Named<QLabel>("lblScaleY", f);
    lblX->setText(QString::fromStdString(GetLangToolWin("310")));
    lblY->setText("Y");
    QLineEdit* sx = Edit("txtScaleX", "1", SoloNumeriEMeno, f);
    QLineEdit* sy = Edit("txtScaleY", "1", SoloNumeriEMeno, f);
    form->addRow(uniform, xy);
    form->addRow(lblX, sx);
    form->addRow(lblY, sy);
    lblY->hide();
    sy->hide();
    layout->addWidget(f);
    QPushButton* ok = Ok("sbtScaleOk", Sheet);
    layout->addWidget(ok);
    QObject::connect(sx, &QLineEdit::textChanged, sx, [sx, sy](const QString& Text) {
        if (UniformScale)
            sy->setText(Text);
        if (sx->hasFocus() && NumeroValido(Text.toStdString()))
            GuardedCall([] { SendUser(ueScaleChanged); });
    });
    SendWhenTyped(sy, ueScaleChanged);
    const auto choose = [=] {
        UniformScale = uniform->isChecked();
        lblY->setVisible(!UniformScale);
        sy->setVisible(!UniformScale);
        lblX->setText(QString::fromStdString(GetLangToolWin(UniformScale ? "310" : "311")));
    };
    QObject::connect(uniform, &QRadioButton::clicked, uniform, choose);
    QObject::connect(xy, &QRadioButton::clicked, xy, choose);
    QObject::connect(ok, &QPushButton::clicked, ok, [] { GuardedCall([] { SendUser(ueDone); }); });
}

void BuildMirror(QWidget* Sheet)
{
    auto* layout = new QVBoxLayout(Sheet);
    auto* g = Named<QGroupBox>("grpMirror", Sheet);
    auto* row = new QHBoxLayout(g);
    QRadioButton* move = Radio("rbtMirrorMove", "Move", false, g);
    QRadioButton* copy = Radio("rbtMirrorCopy", "Copy", true, g);
    row->addWidget(move);
    row->addWidget(copy);
    MoveOrCopy(move, copy, nullptr, nullptr);
    layout->addWidget(g);
    auto* axis = Named<TRadioGroup>("gprMirrorAxis", Sheet);
    axis->setTitle("Axis");
    axis->SetItems({"By two points", "X axis", "Y axis", "Both axes"});
    axis->SetItemIndex(1);
    layout->addWidget(axis);
    QPushButton* ok = Ok("sbtMirrorOk", Sheet);
    layout->addWidget(ok);
    for (QRadioButton* b : axis->findChildren<QRadioButton*>())
        QObject::connect(b, &QRadioButton::clicked, axis, [axis, ok] {
            const int i = axis->ItemIndex();
            ok->setEnabled(i > 0);
            if (i > 0)
                GuardedCall([] { SendUser(ueMirrorChanged); });
        });
    QObject::connect(ok, &QPushButton::clicked, ok, [] { GuardedCall([] { SendUser(ueDone); }); });
}

void BuildExplode(QWidget* Sheet)
{
    auto* layout = new QVBoxLayout(Sheet);
    auto* g = Named<QGroupBox>("grpExplodeInfo", Sheet);
    auto* inner = new QVBoxLayout(g);
    auto* info = Named<QLabel>("stxInfoEsplode", g);
    info->setWordWrap(true);
    inner->addWidget(info);
    layout->addWidget(g);
}

void BuildChangeLayer(QWidget* Sheet, TfrmToolWin& ToolWin, TfrmMain& Main)
{
    auto* layout = new QVBoxLayout(Sheet);
    auto* g = Named<QGroupBox>("grpChangeLayer", Sheet);
    auto* form = new QFormLayout(g);
    auto* lbl = Named<QLabel>("lblCLayer", g);
    lbl->setText("Layer");
    form->addRow(lbl, Named<QComboBox>("cboLayerTo", g));
    QRadioButton* move = Radio("rbtCLMove", "Move", true, g);
    QRadioButton* copy = Radio("rbtCLCopy", "Copy", false, g);
    form->addRow(move, copy);
    auto* pick = Named<QPushButton>("sbtCLSel", g);
    pick->setText("Pick");
    auto* window = Named<QPushButton>("sbtCLWSel", g);
    window->setText("Window");
    form->addRow(pick, window);
    form->addRow(Named<QLabel>("lblMCLayer", g));
    layout->addWidget(g);
    QPushButton* ok = Ok("sbtCLOK", Sheet);
    layout->addWidget(ok);
    const auto select = [move](bool Window) {
        GuardedCall([&] {
            LayerOpPending = false;
            const TCADStateClass tool =
                move->isChecked() ? StateClass<TQV2d_MuoveInLayer>() : StateClass<TQV2d_CopiaInLayer>();
            if (Window)
                CADProgram->StartOperation(StateClass<TQV_51WinSelectObjects>(),
                                           std::make_unique<TQV_51WinSelectObjectsParam>(false, tool));
            else
                CADProgram->StartOperation(StateClass<TQV_50SelectObjects>(),
                                           std::make_unique<TQV_50SelectObjectsParam>(5, tool));
        });
    };
    QObject::connect(pick, &QPushButton::clicked, pick, [select] { select(false); });
    QObject::connect(window, &QPushButton::clicked, window, [select] { select(true); });
    QObject::connect(ok, &QPushButton::clicked, ok, [&ToolWin, &Main] {
        GuardedCall([&] {
            SendUser(ueDone);
            LayerOpPending = true;
            LayerOpDone = true;
            ToolWin.hide();
            Main.QV_PrgDescriptionChanged(nullptr);
        });
    });
}

} // namespace

void BuildDrawingPages(TfrmToolWin& ToolWin, TfrmMain& Main)
{
    if (QWidget* s = ToolWin.Sheet("tabTranslate"))
        BuildTranslate(s);
    if (QWidget* s = ToolWin.Sheet("tabRotate"))
        BuildRotate(s);
    if (QWidget* s = ToolWin.Sheet("tabScale"))
        BuildScale(s);
    if (QWidget* s = ToolWin.Sheet("tabMirror"))
        BuildMirror(s);
    if (QWidget* s = ToolWin.Sheet("tabExplode"))
        BuildExplode(s);
    if (QWidget* s = ToolWin.Sheet("tabChangeLayer"))
        BuildChangeLayer(s, ToolWin, Main);
}
