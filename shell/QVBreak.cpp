#include "QVBreak.h"

#include "QVLanguage.h"
#include "QVServices.h"
#include "QVVariabili.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>
#include <cmath>

int32_t ProgressPercent(int32_t Total, int32_t Current)
{
    if (Total <= 0)
        return 0;
    const double p = std::nearbyint(static_cast<double>(Current) / Total * 100.0);
    return static_cast<int32_t>(std::clamp(p, 0.0, 100.0));
}

class TUserBreak_ProgBar::TEscWatcher : public QObject {
protected:
    bool eventFilter(QObject* Watched, QEvent* E) override
    {
        if (E->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(E)->key() == Qt::Key_Escape) {
            UserBreak = true;
            return true;
        }
        return QObject::eventFilter(Watched, E);
    }
};

TUserBreak_ProgBar::TUserBreak_ProgBar() = default;

TUserBreak_ProgBar::~TUserBreak_ProgBar() = default;

uint32_t TUserBreak_ProgBar::Now() const
{
    if (TickCount)
        return TickCount();
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return static_cast<uint32_t>(clock.elapsed());
}

void TUserBreak_ProgBar::Attach(QWidget* Hidden, QProgressBar* Bar, bool PercentCaption)
{
    FHidden = Hidden;
    FBar = Bar;
    FPercent = PercentCaption;
    if (FBar)
        FBar->setTextVisible(FPercent);
}

void TUserBreak_ProgBar::Start()
{
    UserBreak = false;
    FWarned = false;
    ShowStatusMessage(GetLangString(445));
    if (FHidden)
        FHidden->hide();
    if (FBar) {
        FBar->setRange(0, 100);
        FBar->setTextVisible(FPercent);
        FBar->setFormat(FPercent ? "%p%" : "");
        FBar->setValue(0);
        FBar->show();
    }
    FLastStep = Now();
    if (!FWatcher && QCoreApplication::instance()) {
        FWatcher = std::make_unique<TEscWatcher>();
        QCoreApplication::instance()->installEventFilter(FWatcher.get());
    }
    QCoreApplication::processEvents();
}

bool TUserBreak_ProgBar::Step(int32_t Total, int32_t Current)
{
    const uint32_t now = Now();
    if (now - FLastStep <= StepInterval)
        return false;
    FLastStep = now;
    if (FBar)
        FBar->setValue(ProgressPercent(Total, Current));
    QCoreApplication::processEvents();
    if (!UserBreak)
        return false;
    if (!FWarned) {
        FWarned = true;
        MainWindow().MessageBox(GetLangString(720) + "\n" + GetLangString(721) + "\n" + GetLangString(722),
                                GetLangString(450), TMsgIcon::Warning, TMsgButtons::Ok);
    }
    return true;
}

void TUserBreak_ProgBar::Report(int64_t Done, int64_t Total)
{
    const double part = Total > 0 ? static_cast<double>(Done) / static_cast<double>(Total) : 0.0;
    const auto percent = static_cast<int32_t>(std::clamp(std::nearbyint(part * 100.0), 0.0, 100.0));
    if (Step(100, percent))
        throw EUserBreak();
}

void TUserBreak_ProgBar::Finish()
{
    FWatcher.reset();
    ShowStatusMessage("");
    if (FBar) {
        FBar->setFormat("");
        FBar->hide();
    }
    if (FHidden)
        FHidden->show();
}
