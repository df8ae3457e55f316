#include "UnitAbout.h"

#include "ui_UnitAbout.h"

#include "QVLanguage.h"
#include "QVTranslate.h"
#include "UnitConfig.h"

#include <cctype>

namespace {
// Our own addresses; the links open them in the desktop's browser and mail program.
constexpr const char* WebSite = "https://rastrel.example.org";
constexpr const char* SupportMail = "support@rastrel.example.org";
} // namespace

std::string GetFileInfo(const std::string& Name)
{
    if (Name == "ProductName")
        return RASTREL_PRODUCT_NAME;
    if (Name == "FileVersion")
        return RASTREL_FILE_VERSION;
    return {};
}

std::string TranslationCreditText(const std::string& Language, const std::string& Author)
{
    if (Author.empty())
        return {};
    std::string name = Language;
    if (!name.empty())
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name + " language translated by " + Author;
}

TfrmAbout::TfrmAbout(QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::WindowStaysOnTopHint), ui(new Ui::TfrmAbout)
{
    ui->setupUi(this);
    ui->nol_lblAboutInfo->setText(
        QString::fromStdString(GetFileInfo("ProductName") + " Version " + GetFileInfo("FileVersion") + "\n") +
        "Raster images to editable vector drawings.");
    ui->lblwww->setText(QString("<a href=\"%1\">%1</a>").arg(WebSite));
    ui->lblwww->setToolTip(WebSite);
    ui->lblMailto->setText(QString("<a href=\"mailto:%1\">%1</a>").arg(SupportMail));
    ui->lblMailto->setToolTip(SupportMail);
    connect(ui->btnOk, &QPushButton::clicked, this, &QWidget::close);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::showEvent(QShowEvent* Event)
{
    if (LanguageIni)
        TranslateComponents({this}, LanguageIni.get());
    // "Autor" is optional: a language file without a translator gives no credit line.
    TranslationCredit = TranslationCreditText(AppConfig ? AppConfig->Language : std::string(),
                                              GetLangText("String", "Autor"));
    ui->nol_lbltTranslation->setText(QString::fromStdString(TranslationCredit));
    QWidget::showEvent(Event);
}
