#include "UnitWebUpdate.h"

#include "QVLanguage.h"
#include "ShellIcons.h"
#include "ShellMessages.h"
#include "UnitAbout.h"
#include "qvWebUpdate.h"

#include <QFileInfo>
#include <QLabel>
#include <QNetworkInformation>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>

bool AutoUpdateDue = false;

namespace {
// How long "up to date" stays readable before the window goes.
constexpr int NoUpdateShownMs = 2000;

std::string Text(int Id)
{
    return GetLangString(Id);
}

QString QText(int Id)
{
    return QString::fromStdString(Text(Id));
}
} // namespace

void RollUpdateCheck()
{
    AutoUpdateDue = QRandomGenerator::global()->bounded(20) == 5;
}

std::string UpdatePageAddress()
{
    if (const char* url = std::getenv("RASTREL_UPDATE_URL"); url && *url)
        return url;
    return "https://rastrel.org/update/rastrel.html";
}

TFrmWebUpdate::TFrmWebUpdate(QWidget* Owner, TWebUpdate& U)
    : QWidget(Owner, Qt::Tool | Qt::WindowStaysOnTopHint), Update(U)
{
    setObjectName("frmWebUpdate");
    move(350, 300);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* labels = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        FInfo[i] = new QLabel(this);
        FInfo[i]->setObjectName(QString("lblWebInfo%1").arg(i + 1));
        labels->addWidget(FInfo[i]);
    }
    FStatus = new QLabel(this);
    FStatus->setObjectName("lblWebStatus");
    labels->addWidget(FStatus);
    row->addLayout(labels, 1);
    // The picture is decoration: without it the window works as well.
    auto* picture = new QLabel(this);
    picture->setPixmap(ShellIcon("imgListFile", 9).pixmap(48, 48));
    row->addWidget(picture, 0, Qt::AlignTop);
    layout->addLayout(row);
    FProgress = new QProgressBar(this);
    FProgress->setObjectName("pbrWebUpdate");
    FProgress->hide();
    layout->addWidget(FProgress);
    setMinimumWidth(290);

    U.OnBeforeGetInfo = [this] {
        setWindowTitle(QText(800));
        for (int i = 0; i < 3; ++i)
            FInfo[i]->setText(QText(801 + i));
        repaint();
    };
    U.OnAfterGetInfo = [this] {
        setWindowTitle(QText(809));
        const TWebPageInfo& page = Update.Page();
        FInfo[0]->setText(QString::fromStdString(Text(801) + " " + page.ProductName));
        FInfo[1]->setText(QString::fromStdString(Text(802) + " " + Update.ProductInfo.Version));
        FInfo[2]->setText(QString::fromStdString(Text(803) + " " + page.Version));
        repaint();
    };
    U.OnNoUpdateFound = [this] {
        FStatus->setText(QString::fromStdString(Update.Page().ProductName + " " + Text(806)));
        repaint();
    };
    U.OnUpdateAvailable = [this](const std::string&, const std::string& New, bool& CanUpdate) {
        std::string question = Text(813);
        if (const size_t at = question.find("%s"); at != std::string::npos)
            question.replace(at, 2, New);
        // Nothing is cleared or closed by this answer, so the question says only what it does.
        question += "\n" + Text(804);
        show();
        CanUpdate =
            ShowMessageBox(question, Text(450), TMsgIcon::Information, TMsgButtons::YesNo) == TMsgResult::Yes;
        if (CanUpdate)
            FProgress->show();
    };
    U.OnGetClientFileName = [](std::string& FileName) {
        ShowMessageBox(Text(810) + " " + FileName, Text(450), TMsgIcon::Information, TMsgButtons::Ok);
    };
    U.OnClientFileExists = [](const std::string&, bool& Overwrite) { Overwrite = true; };
    U.OnBeforeDownload = [this](const std::string& FileName) {
        setWindowTitle(QString::fromStdString(Text(808) + " ") +
                       QFileInfo(QString::fromStdString(FileName)).fileName());
        repaint();
    };
    U.OnDownload = [this](int64_t Total, int64_t Received) {
        if (Total > 0 && Total <= INT32_MAX) {
            FProgress->setMaximum(static_cast<int>(Total));
            FProgress->setValue(static_cast<int>(std::min(Received, Total)));
        }
    };
    U.OnAfterDownload = [this](const std::string&, bool Succeeded) {
        FProgress->hide();
        // Only a whole file is announced; a failure has its own box.
        if (Succeeded)
            ShowMessageBox(Text(807), Text(450), TMsgIcon::Information, TMsgButtons::Ok);
    };
    U.OnDownloadError = [this] {
        FProgress->hide();
        ShowMessageBox(Text(805), Text(450), TMsgIcon::Error, TMsgButtons::Ok);
    };
    U.OnConfirmRun = [](const std::string& FileName) {
        return ShowMessageBox(Text(811) + "\n" + FileName, Text(450), TMsgIcon::Question,
                              TMsgButtons::YesNo) == TMsgResult::Yes;
    };
    U.OnCannotExecute = [] { ShowMessageBox(Text(814), Text(450), TMsgIcon::Error, TMsgButtons::Ok); };
}

namespace {
// The system says there is no network at all; unknown counts as a network.
bool Offline()
{
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend())
        return false;
    QNetworkInformation* info = QNetworkInformation::instance();
    return info && info->reachability() == QNetworkInformation::Reachability::Disconnected;
}
} // namespace

TWebUpdate* RunWebUpdate(QWidget* Form, bool Automatic)
{
    AutoUpdateDue = false;
    if (Automatic && Offline())
        return nullptr;
    auto* update = new TWebUpdate(Form);
    update->ProductInfo.SetURL(UpdatePageAddress());
    update->ProductInfo.Version = GetFileInfo("FileVersion");
    auto* window = new TFrmWebUpdate(Form, *update);
    if (Automatic) {
        // Silent: no window and no error box unless a newer version is there.
        update->OnBeforeGetInfo = nullptr;
        update->OnNoUpdateFound = nullptr;
        update->OnDownloadError = [window] { window->Progress()->hide(); };
    } else {
        window->show();
    }
    update->OnTerminate = [Form] {
        if (QWidget* main = Form->window())
            QTimer::singleShot(0, main, [main] { main->close(); });
    };
    const bool silent = Automatic;
    update->OnFinished = [update, window, silent](bool) {
        // "Up to date" stays readable a moment; the window keeps working meanwhile.
        const int linger =
            !silent && window->isVisible() && !window->Status()->text().isEmpty() ? NoUpdateShownMs : 0;
        QTimer::singleShot(linger, window, [update, window] {
            window->deleteLater();
            update->deleteLater();
        });
    };
    update->CheckForUpdate();
    return update;
}
