#include "TracingPage.h"

#include "Bitmap32.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVVariabili.h"
#include "TracerProcess.h"
#include "ui_TracingPage.h"

#include <QApplication>
#include <QHideEvent>
#include <QSignalBlocker>

TTracingPage::TTracingPage(QWidget* Parent) : QWidget(Parent), UiPage(std::make_unique<Ui::TracingPage>())
{
    UiPage->setupUi(this);
    Ui::TracingPage& ui = *UiPage;
    InstallKeyFilter(ui.txtVecRemove, SoloNumeriPos);
    ConnectThreshold(ui.tbrRosso, ui.sedRosso);
    ConnectThreshold(ui.tbrVerde, ui.sedVerde);
    ConnectThreshold(ui.tbrBlu, ui.sedBlu);

    connect(ui.chkViewOriginal, &QCheckBox::clicked, this, [this](bool Checked) {
        if (!ControlsReady || !Front)
            return;
        Act([&] {
            Front->ViewOriginal = Checked;
            Front->ApplyThreshold(Settings(), false);
        });
    });
    connect(ui.sbtVec2a, &QPushButton::clicked, this, [this] {
        if (!Front)
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Act([&] { Front->RemoveSpots(Settings()); });
        QApplication::restoreOverrideCursor();
    });
    connect(ui.sbtVec2b, &QPushButton::clicked, this, [this] {
        if (Front)
            Act([&] { Front->ApplyThreshold(Settings(), false); });
    });
    connect(ui.sbtPreviewVect, &QPushButton::clicked, this, [this] { Preview(); });
    connect(ui.sbtVectDone, &QPushButton::clicked, this, [this] {
        bool accepted = true;
        if (Front)
            Act([&] { accepted = Front->Accept(Settings()); });
        if (accepted && OnClose)
            OnClose();
    });
    connect(ui.sbtVectCancel, &QPushButton::clicked, this, [this] {
        if (OnClose)
            OnClose();
    });
    connect(ui.sbtVecOnLayer, &QPushButton::clicked, this, [this] {
        const int layer = OnChooseLayer ? OnChooseLayer() : -1;
        if (layer >= 0)
            UiPage->sbtVecOnLayer->setText(
                QString::fromStdString(GetLangToolWinCaption("sbtVecOnLayer") + " " + std::to_string(layer)));
    });
    connect(ui.chkVecFilter, &QCheckBox::toggled, this, [this](bool On) {
        for (QWidget* w : std::initializer_list<QWidget*>{UiPage->txtVecFilterTol, UiPage->lblVecFilterTol,
                                                          UiPage->txtVecFilterMin, UiPage->lblVecFilterMin,
                                                          UiPage->txtVecFilterMax, UiPage->lblVecFilterMax})
            w->setEnabled(On);
    });
    ui.lblVecFilterTol->setEnabled(false);
    ui.lblVecFilterMin->setEnabled(false);
    ui.lblVecFilterMax->setEnabled(false);
}

TTracingPage::~TTracingPage() = default;

void TTracingPage::Act(const std::function<void()>& Work)
{
    GuardedCall(Work);
}

void TTracingPage::ConnectThreshold(QSlider* Bar, QSpinBox* Edit)
{
    // Dragging moves the number only; the preview follows on release.
    connect(Bar, &QSlider::valueChanged, this, [Edit](int Value) {
        const QSignalBlocker quiet(Edit);
        Edit->setValue(Value);
    });
    connect(Bar, &QSlider::sliderPressed, this, [this] {
        UiPage->chkViewOriginal->setChecked(false);
        if (Front)
            Front->ViewOriginal = false;
    });
    connect(Bar, &QSlider::sliderReleased, this, [this] {
        if (Front)
            Act([&] { Front->ApplyThreshold(Settings(), false); });
    });
    connect(Edit, &QSpinBox::valueChanged, this, [this, Bar](int Value) {
        {
            const QSignalBlocker quiet(Bar);
            Bar->setValue(Value);
        }
        if (Front) {
            Front->ViewOriginal = false;
            Act([&] { Front->ApplyThreshold(Settings(), false); });
        }
    });
}

void TTracingPage::Start(std::unique_ptr<TBmp2Vector> FrontEnd, int CurrentLayer)
{
    Front = std::move(FrontEnd);
    Front->OnReport = [this](const std::string& Line) {
        UiPage->memVecReport->appendPlainText(QString::fromStdString(Line));
    };
    UiPage->sbtVecOnLayer->setText(
        QString::fromStdString(GetLangToolWinCaption("sbtVecOnLayer") + " " + std::to_string(CurrentLayer)));
    UiPage->chkViewOriginal->setChecked(false);
    UiPage->sbtVectDone->setEnabled(false);
    // The report is this picture's; the picture shows what the thresholds as they stand make of
    // it, as "view original" is off.
    UiPage->memVecReport->clear();
    Act([&] { Front->ApplyThreshold(Settings(), false); });
}

void TTracingPage::Finish()
{
    // The preview colours on the picture are the page's: the drawing keeps the picture itself.
    if (!Front)
        return;
    Front->ShowUntouched();
    Front.reset();
    // The page's prompt and its job's texts go with it.
    ShowStatusMessage("");
}

void TTracingPage::hideEvent(QHideEvent* Event)
{
    QWidget::hideEvent(Event);
    // Only the window's hide ends the tracing: the tool window hides its sheets while it makes
    // ready the pages of a command, this page among them, before it shows them.
    if (!window()->isVisible() && isVisibleTo(window()))
        Finish();
}

void StartVectorize(TTracingPage& Page, TQV_01Cmp2D& Drawing, TBitmap2D& Image, const TBitmap32& Source)
{
    Page.Start(std::make_unique<TBmp2Vector>(Drawing, Image, Source, InitTempPath(), DefaultTracerProgram(),
                                             DrawingView),
               Drawing.CurrentLayer);
    ShowStatusMessage(GetLangString(414));
}

TTraceSettings TTracingPage::Settings() const
{
    const Ui::TracingPage& ui = *UiPage;
    TTraceSettings s;
    s.Red = ui.tbrRosso->value();
    s.Green = ui.tbrVerde->value();
    s.Blue = ui.tbrBlu->value();
    s.BlackSpots = ui.sedSpotsNeri->value();
    s.WhiteSpots = ui.sedSpotsBianchi->value();
    s.Tracer.ErrorThreshold = ui.sedError_threshold->value();
    s.Tracer.FilterIterations = ui.sedFilter_iterations->value();
    s.Tracer.CornerThreshold = ui.sedCorner_threshold->value();
    s.Tracer.CentreLine = ui.chkCenterline->isChecked();
    s.RemoveSmaller = ui.txtVecRemove->text().toStdString();
    s.FitArcs = ui.chkVecFilter->isChecked();
    s.FitTolerance = ui.txtVecFilterTol->text().toStdString();
    s.FitMinimum = ui.txtVecFilterMin->text().toStdString();
    s.FitMaximum = ui.txtVecFilterMax->text().toStdString();
    return s;
}

void TTracingPage::Preview()
{
    if (!Front)
        return;
    TTracerProcess process(window());
    TTracerRunner& runner = Runner ? *Runner : process;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setEnabled(false);
    if (OnJob)
        OnJob(true);
    bool traced = false;
    Act([&] { traced = Front->Vectorize(Settings(), runner); });
    if (OnJob)
        OnJob(false);
    setEnabled(true);
    QApplication::restoreOverrideCursor();
    // The tracing is over, whatever its end: the status line says again what the page is for.
    ShowStatusMessage(GetLangString(414));
    if (traced)
        UiPage->sbtVectDone->setEnabled(true);
}
