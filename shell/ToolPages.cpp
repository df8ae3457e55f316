#include "ToolPages.h"

#include "QVChainTasks.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVOffsetTask.h"
#include "QVPatterns.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVScenePreview.h"
#include "QVTasks.h"
#include "QVVariabili.h"
#include "UnitCatena.h"
#include "UnitToolWin.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>
#include <string>

namespace {

template <class T> T* Named(T* W, const char* Name, const char* Text = nullptr)
{
    W->setObjectName(Name);
    if constexpr (std::is_base_of_v<QLineEdit, T>) {
        if (Text)
            W->setText(Text);
    } else if constexpr (requires { W->setText(QString()); }) {
        if (Text)
            W->setText(Text);
    }
    return W;
}

QGroupBox* Group(QWidget* Sheet, const char* Name, const char* Title)
{
    auto* layout = new QVBoxLayout(Sheet);
    auto* group = Named(new QGroupBox(Title, Sheet), Name);
    layout->addWidget(group);
    layout->addStretch();
    return group;
}

std::string TextOf(const QLineEdit* E)
{
    return E->text().toStdString();
}

} // namespace

TToolPages::TToolPages(TfrmToolWin& W) : QObject(&W), Window(W)
{
    BuildOffset(W.Sheet("tabOffset"));
    BuildPtAlong(W.Sheet("tabPtAlong"));
    BuildDelSmall(W.Sheet("tabDelSmall"));
    BuildInfo(W.Sheet("tabInfoDb"));
}

TToolPages::~TToolPages()
{
    if (::PtAlongPreview == Preview.get())
        ::PtAlongPreview = nullptr;
}

TViewPreview* TToolPages::Highlight()
{
    if (!Preview && DrawingView)
        Preview = std::make_unique<TViewPreview>(*DrawingView);
    ::PtAlongPreview = Preview.get();
    return Preview.get();
}

void TToolPages::Release()
{
    if (::PtAlongPreview == Preview.get())
        ::PtAlongPreview = nullptr;
    Preview.reset();
}

// ---- offset -------------------------------------------------------------------------------------

void TToolPages::BuildOffset(QWidget* Sheet)
{
    if (!Sheet)
        return;
    QGroupBox* group = Group(Sheet, "grpOffset", "Offset");
    auto* grid = new QGridLayout(group);
    auto* move = Named(new QRadioButton(group), "rbtOffsetMove", "Move");
    auto* copy = Named(new QRadioButton(group), "rbtOffsetCopy", "Copy");
    copy->setChecked(true);
    auto* dist = Named(new QLineEdit(group), "txtOffsetDist", "1");
    InstallKeyFilter(dist, SoloNumeriPos);
    auto* flip = Named(new QToolButton(group), "sbtFlipOffset", "Side");
    auto* ok = Named(new QPushButton(group), "sbtOffsetOk", "OK");
    grid->addWidget(move, 0, 0);
    grid->addWidget(copy, 0, 1);
    grid->addWidget(Named(new QLabel(group), "lblOffset", "Distance"), 1, 0);
    grid->addWidget(dist, 1, 1);
    grid->addWidget(flip, 2, 0);
    grid->addWidget(ok, 2, 1);
    connect(dist, &QLineEdit::textChanged, this, [dist] {
        GuardedCall([dist] {
            // A partial or mistyped distance waits for the next key instead of failing.
            const std::optional<double> d = ParseUserNumber(TextOf(dist));
            if (OffsetParam && d)
                OffsetParam->SetDistance(*d);
        });
    });
    connect(flip, &QToolButton::clicked, this, [] {
        GuardedCall([] {
            if (OffsetParam)
                OffsetParam->ToggleSide();
        });
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        GuardedCall([this] {
            if (CADProgram)
                CADProgram->SendUserEvent(ueDone);
            Window.hide();
        });
    });
}

// ---- points along -------------------------------------------------------------------------------

void TToolPages::BuildPtAlong(QWidget* Sheet)
{
    if (!Sheet)
        return;
    QGroupBox* group = Group(Sheet, "grpPtAlongEnt", "Points along");
    auto* grid = new QGridLayout(group);
    auto* count = Named(new QLineEdit(group), "txtNumPtAlong", "3");
    InstallKeyFilter(count, SoloNumeriInteri);
    auto* between = Named(new QLineEdit(group), "txtBtPoints", "3");
    auto* length = Named(new QLineEdit(group), "txtLength", "3");
    between->setEnabled(false);
    length->setEnabled(false);
    auto* points = Named(new QCheckBox(group), "chkAlPoints", "Points");
    auto* holes = Named(new QCheckBox(group), "chkAlHoles", "Holes");
    holes->setChecked(true);
    auto* dia = Named(new QLineEdit(group), "txtHoleDia", "1");
    InstallKeyFilter(dia, SoloNumeriPos);
    auto* diaLabel = Named(new QLabel(group), "lblAlHoleDia", "Hole size");
    auto* pick = Named(new QPushButton(group), "sbtPtAlongChain", "Pick");
    auto* ok = Named(new QPushButton(group), "sbtPtAlongOk", "OK");
    auto* cancel = Named(new QPushButton(group), "sbtPtAlongCan", "Cancel");
    int row = 0;
    grid->addWidget(Named(new QLabel(group), "lblNPtAlong", "Points"), row, 0);
    grid->addWidget(count, row++, 1);
    grid->addWidget(Named(new QLabel(group), "lblDistBtAlong", "Distance"), row, 0);
    grid->addWidget(between, row++, 1);
    grid->addWidget(Named(new QLabel(group), "lblEntLength", "Length"), row, 0);
    grid->addWidget(length, row++, 1);
    grid->addWidget(points, row, 0);
    grid->addWidget(holes, row++, 1);
    grid->addWidget(diaLabel, row, 0);
    grid->addWidget(dia, row++, 1);
    grid->addWidget(pick, row++, 0, 1, 2);
    grid->addWidget(ok, row, 0);
    grid->addWidget(cancel, row, 1);
    connect(count, &QLineEdit::textChanged, this, [this] { PtAlongChanged(); });
    connect(dia, &QLineEdit::textChanged, this, [this] { PtAlongChanged(); });
    connect(points, &QCheckBox::clicked, this, [this] { PtAlongChanged(); });
    connect(holes, &QCheckBox::clicked, this, [this, holes, dia, diaLabel] {
        dia->setEnabled(holes->isChecked());
        diaLabel->setEnabled(holes->isChecked());
        PtAlongChanged();
    });
    connect(pick, &QPushButton::clicked, this, [this] {
        GuardedCall([this] {
            if (!CADProgram)
                return;
            Highlight();
            auto param = std::make_unique<TQV_50SelectObjectsParam>(5, StateClass<TChainInCatena>(),
                                                                    &PtAlongChains, 1);
            CADProgram->StartOperation(StateClass<TQV_50Seleziona1Ogg>(), std::move(param));
        });
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        GuardedCall([this] {
            Highlight();
            PointsAlongFromPage(true);
            if (DrawingView)
                DrawingView->RebuildAll(false);
            Window.hide();
        });
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        GuardedCall([this] {
            PtAlongChains.DeleteAll();
            Window.hide();
        });
    });
}

void TToolPages::PtAlongChanged()
{
    if (!ControlsReady)
        return;
    GuardedCall([this] {
        if (Window.ControlText("txtNumPtAlong").empty() || Window.ControlText("txtHoleDia").empty())
            return;
        Highlight();
        PointsAlongFromPage(false);
    });
}

// ---- small entities -----------------------------------------------------------------------------

void TToolPages::BuildDelSmall(QWidget* Sheet)
{
    if (!Sheet)
        return;
    QGroupBox* group = Group(Sheet, "grpDelSmall", "Small objects");
    auto* grid = new QGridLayout(group);
    auto* size = Named(new QLineEdit(group), "txtSmallX", "0.025");
    InstallKeyFilter(size, SoloNumeriPos);
    auto* ident = Named(new QPushButton(group), "sbtIdentSmallEnt", "Find");
    auto* del = Named(new QPushButton(group), "sbtDelSmall", "Delete");
    auto* report = Named(new QLabel(group), "stxReportSmall");
    grid->addWidget(Named(new QLabel(group), "lblDelSmall", "Size"), 0, 0);
    grid->addWidget(size, 0, 1);
    grid->addWidget(ident, 1, 0);
    grid->addWidget(del, 1, 1);
    grid->addWidget(report, 2, 0, 1, 2);
    connect(ident, &QPushButton::clicked, this, [this] { GuardedCall([this] { SmallEntities(false); }); });
    connect(del, &QPushButton::clicked, this, [this] { GuardedCall([this] { SmallEntities(true); }); });
}

void TToolPages::SmallEntities(bool Delete)
{
    if (!::Drawing)
        return;
    const std::optional<double> threshold = ParseNumberOrReport(Window.ControlText("txtSmallX"));
    if (!threshold)
        return;
    const TSmallEntities small = FindSmallEntities(*::Drawing, *threshold);
    TViewPreview* markers = Highlight();
    if (markers)
        markers->Clear();
    if (Delete) {
        // Through the drawing, so the tree, the view and every weak reference hear of each.
        for (int32_t id : small.IDs)
            ::Drawing->DeleteObject(id);
        if (DrawingView)
            DrawingView->RebuildAll(false);
    } else if (markers) {
        for (const TVector2D& c : small.Centres) {
            auto mark = std::make_unique<TPunto2D>(-1, TPoint2D{c.X, c.Y, 1});
            mark->UseLayerStyle = false;
            mark->Color = 0x0000FF;
            markers->AddPreview(std::move(mark));
        }
    }
    Window.SetControlText("stxReportSmall",
                          std::to_string(small.IDs.size()) + " " + GetLangString(Delete ? 411 : 409));
}

// ---- drawing report -----------------------------------------------------------------------------

void TToolPages::BuildInfo(QWidget* Sheet)
{
    if (!Sheet)
        return;
    QGroupBox* group = Group(Sheet, "grpInfoEnt", "Drawing");
    new QVBoxLayout(group);
}

void TToolPages::ShowReport(const TDrawingReport& R)
{
    auto* group = Window.findChild<QGroupBox*>("grpInfoEnt");
    if (!group)
        return;
    // Each report replaces the last one.
    delete ReportTree;
    auto* tree = new QTreeWidget(group);
    ReportTree = tree;
    tree->setObjectName("tvwInfoEnt");
    tree->setHeaderHidden(true);
    group->layout()->addWidget(tree);
    const auto text = [](int Id) { return QString::fromStdString(GetLangString(Id)); };
    const auto count = [&](int Id, int64_t N) {
        return new QTreeWidgetItem({text(Id) + " " + QString::number(N)});
    };
    auto* root = new QTreeWidgetItem({text(195)});
    tree->addTopLevelItem(root);
    auto* extents = new QTreeWidgetItem({text(166)});
    root->addChild(extents);
    const auto corner = [&](int Id, const TPoint2D& P) {
        return new QTreeWidgetItem(
            {text(Id) + QString::fromStdString(FormatCoord(P.X) + ", Y:" + FormatCoord(P.Y))});
    };
    extents->addChild(corner(167, R.Extents.First));
    extents->addChild(corner(168, R.Extents.Second));
    for (const auto& [id, n] : {std::pair{187, R.Points},
                                {188, R.Lines},
                                {194, R.Rectangles},
                                {189, R.ArcsAndCircles},
                                {192, R.Ellipses},
                                {191, R.Polylines},
                                {163, R.Splines}})
        root->addChild(count(id, n));
    for (const auto& [id, n] : {std::pair{193, R.Containers}, {196, R.Texts}, {197, R.Hidden}})
        if (n > 0)
            root->addChild(count(id, n));
    auto* total = new QTreeWidgetItem({text(198)});
    total->addChild(new QTreeWidgetItem({QString::number(R.TotalPoints)}));
    root->addChild(total);
    tree->expandAll();
}
