#include "SettingsPage.h"

#include "ui_SettingsPage.h"

#include "AppConfDir.h"
#include "ColorBox.h"
#include "ProgramObjects.h"
#include "QVCmp.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVTranslate.h"
#include "SceneNodes.h"
#include "ShellMessages.h"
#include "UnitConfig.h"
#include "UnitMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

const std::array<const char*, 6> SettingsToolbarNames = {"tbrFile", "tbrView", "tbrCreate",
                                                         "tbrEdit", "toolWin", "tbrMRU"};

namespace {
// The largest number of segments a curve is drawn with.
constexpr int32_t MaxCurveSegShown = 1000;
// The name of the style the program started with: the skin "Default".
const char* DefaultSkin = "Default";

std::string Printf(const char* Format, double V)
{
    char text[64];
    std::snprintf(text, sizeof text, Format, V);
    return text;
}

void SetText(QLineEdit* Edit, const std::string& Text)
{
    Edit->setText(QString::fromStdString(Text));
}

// Kept as our own text: nothing of the style object it came from is held.
std::string& StartStyle()
{
    static std::string name;
    return name;
}
} // namespace

TSettingsPage::TSettingsPage(QWidget* Sheet, TfrmMain& M, TProgramObjects& O)
    : QWidget(Sheet), ui(new Ui::SettingsPage), Main(M), Objects(O)
{
    ui->setupUi(this);
    FViewTbr = {ui->chkViewTbr1, ui->chkViewTbr2, ui->chkViewTbr3,
                ui->chkViewTbr4, ui->chkViewTbr5, ui->chkViewTbr6};
    for (QLineEdit* e : {ui->txtSystemTol, ui->txtChainTol, ui->txtSimulTol})
        InstallKeyFilter(e, SoloNumeriPos);
    for (QLineEdit* e : {ui->txtMaxCurveSeg, ui->txtMaxUndo, ui->txtMaxArcFit})
        InstallKeyFilter(e, SoloNumeriInteri);
    // The simulation tolerance follows the units; the undo log keeps every step the memory allows.
    ui->txtSimulTol->setEnabled(false);
    ui->lblSimulTol->setEnabled(false);
    ui->txtMaxUndo->setEnabled(false);
    ui->lblMaxUndo->setEnabled(false);
    // Only languages that have a file can be chosen.
    ui->nol_cboLang->setEditable(false);
    auto* dirLayout = static_cast<QVBoxLayout*>(ui->sheetSetDir->layout());
    FDirs = new TAppConfDir(ui->sheetSetDir, *Objects.Config);
    FDirs->setMinimumSize(FDirs->size());
    dirLayout->addWidget(FDirs);
    dirLayout->addStretch();
    FillSkins();
    ImpostaConfig();
    Connect();
    FollowToolbars();
}

TSettingsPage::~TSettingsPage() = default;

void TSettingsPage::ConnectNumber(QLineEdit* Edit, void (TSettingsPage::*Apply)(double),
                                  void (TSettingsPage::*Show)())
{
    connect(Edit, &QLineEdit::textEdited, this, [this, Edit, Apply](const QString& Text) {
        GuardedCall([&] {
            const std::optional<double> v = ParseUserNumber(Text.toStdString());
            if (v && *v > 0)
                (this->*Apply)(*v);
        });
    });
    connect(Edit, &QLineEdit::editingFinished, this, [this, Show] { GuardedCall([&] { (this->*Show)(); }); });
}

void TSettingsPage::Connect()
{
    TAppConfig& c = *Objects.Config;
    ConnectNumber(ui->txtSystemTol, &TSettingsPage::SetSystemTol, &TSettingsPage::ShowSystemTol);
    ConnectNumber(ui->txtChainTol, &TSettingsPage::SetChainTol, &TSettingsPage::ShowChainTol);
    ConnectNumber(ui->txtMaxArcFit, &TSettingsPage::SetMaxArcFit, &TSettingsPage::ShowMaxArcFit);
    connect(ui->txtMaxCurveSeg, &QLineEdit::textEdited, this,
            [this] { GuardedCall([this] { txtMaxCurveSegChange(); }); });
    connect(ui->txtMaxCurveSeg, &QLineEdit::editingFinished, this,
            [this, &c] { SetText(ui->txtMaxCurveSeg, std::to_string(c.MaxCurveSeg)); });
    connect(ui->cboUnits, &QComboBox::activated, this,
            [this](int i) { GuardedCall([&] { cboUnitsChange(i); }); });
    connect(ui->nol_cboLang, &QComboBox::activated, this,
            [this](int i) { GuardedCall([&] { nol_cboLangChange(i); }); });
    connect(ui->chkForUpdate, &QCheckBox::clicked, this, [&c](bool On) { c.CheckForUpdate = On; });

    ui->ColorBoxBackground->OnChange = [this, &c](int32_t Colour) {
        c.BackGroundColor = Colour;
        if (Objects.View) {
            Objects.View->Scene->SetBackgroundColor(SceneColorFromTColor(uint32_t(Colour)));
            Objects.View->Repaint();
        }
    };
    ui->ColorBoxDefLayers->OnChange = [this, &c](int32_t Colour) {
        c.DefLayersColor = Colour;
        if (Objects.Drawing) {
            Objects.Drawing->SetDefaultLayersColor(Colour);
            Objects.Drawing->RepaintViews();
            Main.CurrLayerInfo();
        }
    };
    ui->ColorBoxGrid->OnChange = [this, &c](int32_t Colour) {
        c.GridColor = Colour;
        if (Objects.View) {
            Objects.View->GridLineColor = SceneColorFromTColor(uint32_t(Colour), 0.2f);
            Objects.View->RebuildGrid();
        }
    };
    ui->ColorBoxG0->OnChange = [&c](int32_t Colour) { c.ToolPathG0Color = Colour; };
    ui->ColorBoxG1->OnChange = [&c](int32_t Colour) { c.ToolPathG1Color = Colour; };
    ui->ColorBoxG2->OnChange = [&c](int32_t Colour) { c.ToolPathG2Color = Colour; };
    ui->ColorBoxCh->OnChange = [&c](int32_t Colour) { c.ChainColor = Colour; };
    connect(ui->speG0_LW, &QSpinBox::valueChanged, this, [&c](int V) { c.ToolPathG0LW = V; });
    connect(ui->speG1_LW, &QSpinBox::valueChanged, this, [&c](int V) { c.ToolPathG1LW = V; });
    connect(ui->speG2_LW, &QSpinBox::valueChanged, this, [&c](int V) { c.ToolPathG2LW = V; });
    connect(ui->speCh_LW, &QSpinBox::valueChanged, this, [&c](int V) { c.ChainLW = V; });
    connect(ui->chkShowHints, &QCheckBox::clicked, this, [this, &c](bool On) {
        c.ShowInt = On;
        GuardedCall([this] { Main.ImpostaHint(); });
    });
    connect(ui->rbtTbrSetStyle1, &QRadioButton::toggled, this, [this, &c](bool On) {
        c.TbrImagesOnly = !On;
        GuardedCall([this] { Main.ImpostaTbr(); });
    });
    for (size_t i = 0; i < FViewTbr.size(); ++i)
        connect(FViewTbr[i], &QCheckBox::clicked, this, [this, i](bool On) {
            if (QAction* toggle = Main.ToolbarToggle(SettingsToolbarNames[i]);
                toggle && toggle->isChecked() != On)
                toggle->trigger();
        });
    connect(ui->chkUseExtEditor, &QCheckBox::toggled, this, [this, &c](bool On) {
        ui->sbtExtEditor->setEnabled(On);
        c.UseExtEditor = On;
    });
    connect(ui->sbtExtEditor, &QPushButton::clicked, this,
            [this] { GuardedCall([this] { sbtExtEditorClick(); }); });
    connect(ui->chkDxfPolyInLA, &QCheckBox::clicked, this, [&c](bool On) { c.DxfPolyInLA = On; });
    connect(ui->sbtSettingsOk, &QPushButton::clicked, this, [this] { window()->hide(); });
    connect(ui->sbtReset, &QPushButton::clicked, this, [this] { GuardedCall([this] { sbtResetClick(); }); });
}

void TSettingsPage::FollowToolbars()
{
    for (size_t i = 0; i < FViewTbr.size(); ++i)
        if (QAction* toggle = Main.ToolbarToggle(SettingsToolbarNames[i]))
            connect(toggle, &QAction::toggled, FViewTbr[i], &QCheckBox::setChecked);
}

void TSettingsPage::ShowUnitValues()
{
    const TAppConfig& c = *Objects.Config;
    ShowSystemTol();
    ShowChainTol();
    ShowMaxArcFit();
    SetText(ui->txtMaxCurveSeg, std::to_string(c.MaxCurveSeg));
}

void TSettingsPage::ShowSystemTol()
{
    SetText(ui->txtSystemTol, Printf("%0.6f", Objects.Config->SystemTol));
}

void TSettingsPage::ShowChainTol()
{
    SetText(ui->txtChainTol, Printf("%0.6f", Objects.Config->ChainTol));
}

void TSettingsPage::ShowMaxArcFit()
{
    SetText(ui->txtMaxArcFit, Format3Dec(Objects.Config->MaxArcFit));
}

void TSettingsPage::SetSystemTol(double V)
{
    Objects.Config->SystemTol = V;
}

void TSettingsPage::SetChainTol(double V)
{
    Objects.Config->ChainTol = V;
}

void TSettingsPage::SetMaxArcFit(double V)
{
    Objects.Config->MaxArcFit = V;
}

void TSettingsPage::ImpostaConfig()
{
    const TAppConfig& c = *Objects.Config;
    ShowUnitValues();
    SetText(ui->txtSimulTol, Printf("%0.6f", c.SimulTol));
    ui->chkForUpdate->setChecked(c.CheckForUpdate);
    FLanguage = c.Language;
    ui->nol_cboLang->setCurrentIndex(ui->nol_cboLang->findText(QString::fromStdString(c.Language)));
    ui->cboUnits->setCurrentIndex(c.Units == 1 ? 0 : 1);
    (c.TbrImagesOnly ? ui->rbtTbrSetStyle2 : ui->rbtTbrSetStyle1)->setChecked(true);
    ui->chkShowHints->setChecked(c.ShowInt);
    ui->chkUseExtEditor->setChecked(c.UseExtEditor);
    ui->sbtExtEditor->setEnabled(c.UseExtEditor);
    ui->sbtExtEditor->setText(QString::fromStdString(c.ExtEditor));
    for (size_t i = 0; i < FViewTbr.size(); ++i)
        if (QAction* toggle = Main.ToolbarToggle(SettingsToolbarNames[i]))
            FViewTbr[i]->setChecked(toggle->isChecked());
    ShowResetColours();
    ui->ColorBoxCh->SetSelected(c.ChainColor);
    ui->speG0_LW->setValue(c.ToolPathG0LW);
    ui->speG1_LW->setValue(c.ToolPathG1LW);
    ui->speG2_LW->setValue(c.ToolPathG2LW);
    ui->speCh_LW->setValue(c.ChainLW);
    if (auto* skin = findChild<QToolButton*>("mnuSkin"))
        skin->setText(QString::fromStdString(c.SkinName));
    ui->chkDxfPolyInLA->setChecked(c.DxfPolyInLA);
}

void TSettingsPage::ShowResetColours()
{
    const TAppConfig& c = *Objects.Config;
    ui->ColorBoxBackground->SetSelected(c.BackGroundColor);
    ui->ColorBoxDefLayers->SetSelected(c.DefLayersColor);
    ui->ColorBoxGrid->SetSelected(c.GridColor);
    ui->ColorBoxG0->SetSelected(c.ToolPathG0Color);
    ui->ColorBoxG1->SetSelected(c.ToolPathG1Color);
    ui->ColorBoxG2->SetSelected(c.ToolPathG2Color);
}

void TSettingsPage::FillLanguages()
{
    ui->nol_cboLang->clear();
    QDir folder(QString::fromStdString(ProgramFolder() + "/languages"));
    QStringList names;
    for (const QFileInfo& f : folder.entryInfoList({"*.lng"}, QDir::Files, QDir::Name))
        names.append(f.completeBaseName());
    ui->nol_cboLang->addItems(names);
    FLanguage = Objects.Config->Language;
    ui->nol_cboLang->setCurrentIndex(ui->nol_cboLang->findText(QString::fromStdString(FLanguage)));
}

void TSettingsPage::txtMaxCurveSegChange()
{
    const std::optional<double> v = ParseUserNumber(ui->txtMaxCurveSeg->text().toStdString());
    if (!v)
        return;
    if (*v > MaxCurveSegShown) {
        Objects.Config->MaxCurveSeg = MaxCurveSegShown;
        SetText(ui->txtMaxCurveSeg, std::to_string(MaxCurveSegShown));
        ui->txtMaxCurveSeg->end(false);
        return;
    }
    // A curve is drawn with one segment at least.
    Objects.Config->MaxCurveSeg = std::max<int32_t>(1, static_cast<int32_t>(*v));
}

void TSettingsPage::cboUnitsChange(int Index)
{
    TAppConfig& c = *Objects.Config;
    const uint8_t units = Index == 0 ? 1 : 0;
    if (units == c.Units)
        return;
    c.SetUnits(units);
    if (Objects.View)
        Objects.View->RebuildAll(false);
    ShowUnitValues();
    SetText(ui->txtSimulTol, Printf("%0.6f", c.SimulTol));
}

void TSettingsPage::nol_cboLangChange(int Index)
{
    const std::string name = ui->nol_cboLang->itemText(Index).toStdString();
    if (name == FLanguage)
        return;
    // The new file is opened before the old one goes: a language without a file changes nothing.
    const std::string oldFileName = LanguageFileName;
    std::unique_ptr<TMemIniFile> file = OpenLanguageFile("languages/" + name);
    if (!file) {
        ShowMessageBox(LanguageFileNotFoundText(), GetLangString(450), TMsgIcon::Error, TMsgButtons::Ok);
        LanguageFileName = oldFileName;
        ui->nol_cboLang->setCurrentIndex(ui->nol_cboLang->findText(QString::fromStdString(FLanguage)));
        return;
    }
    LanguageIni = std::move(file);
    FLanguage = name;
    Objects.Config->Language = name;
    TranslateComponents({&Main, window()}, LanguageIni.get());
    LoadStatusMessages();
    LoadStatePrompts();
}

void TSettingsPage::sbtResetClick()
{
    TAppConfig& c = *Objects.Config;
    c.SetDefaults();
    ShowResetColours();
    ShowUnitValues();
    SetText(ui->txtSimulTol, Printf("%0.3f", c.SimulTol));
    ui->chkUseExtEditor->setChecked(false);
    // Every toolbar but the recent commands shows again; their boxes follow them.
    for (size_t i = 0; i + 1 < SettingsToolbarNames.size(); ++i)
        if (QAction* toggle = Main.ToolbarToggle(SettingsToolbarNames[i]); toggle && !toggle->isChecked())
            toggle->trigger();
}

void TSettingsPage::sbtExtEditorClick()
{
    TFileDialogRequest request;
    request.Caption = ui->sbtExtEditor->text().toStdString();
    request.Start = Objects.Config->ExtEditor;
    request.Filter = "Programs (*)";
    const std::string chosen = AskFileName(request);
    if (chosen.empty())
        return;
    Objects.Config->ExtEditor = chosen;
    ui->sbtExtEditor->setText(QString::fromStdString(chosen));
}

void TSettingsPage::FillSkins()
{
    if (StartStyle().empty())
        StartStyle() = QApplication::style()->name().toStdString();
    auto* skin = new QToolButton(ui->tbrOptions);
    skin->setObjectName("mnuSkin");
    skin->setPopupMode(QToolButton::InstantPopup);
    skin->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menu = new QMenu(skin);
    auto* group = new QActionGroup(menu);
    group->setObjectName("SpTBXSkinGroupItem1");
    QStringList names{DefaultSkin};
    names.append(QStyleFactory::keys());
    for (const QString& name : names) {
        QAction* a = menu->addAction(name);
        a->setCheckable(true);
        a->setChecked(name.toStdString() == Objects.Config->SkinName);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, name] { GuardedCall([&] { ChooseSkin(name); }); });
    }
    skin->setMenu(menu);
    ui->tbrOptions->addWidget(skin);
    if (Objects.Config->SkinName != DefaultSkin &&
        QStyleFactory::keys().contains(QString::fromStdString(Objects.Config->SkinName)))
        ChooseSkin(QString::fromStdString(Objects.Config->SkinName));
}

void TSettingsPage::ChooseSkin(const QString& Name)
{
    const QString style = Name == DefaultSkin ? QString::fromStdString(StartStyle()) : Name;
    if (QStyle* s = QStyleFactory::create(style))
        QApplication::setStyle(s);
    Objects.Config->SkinName = Name.toStdString();
    if (auto* skin = findChild<QToolButton*>("mnuSkin"))
        skin->setText(Name);
}
