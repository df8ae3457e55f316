#pragma once
// The settings page of the tool window (sheetSettings): tolerances, units, language, the update
// check, colours and line widths, skin, toolbars, hints, the external editor, the folders and the
// DXF option. Each control writes its value into the configuration when it changes and the value
// takes effect at once; the configuration is written to its file when the main window closes.
#include <QWidget>

#include <array>
#include <memory>
#include <string>

namespace Ui {
class SettingsPage;
}
class QCheckBox;
class QLineEdit;
class TAppConfDir;
class TfrmMain;
struct TProgramObjects;

class TSettingsPage : public QWidget {
public:
    TSettingsPage(QWidget* Sheet, TfrmMain& Main, TProgramObjects& Objects);
    ~TSettingsPage() override;
    TSettingsPage(const TSettingsPage&) = delete;
    TSettingsPage& operator=(const TSettingsPage&) = delete;

    // Copies the configuration into the controls (their change handlers apply the colours).
    void ImpostaConfig();
    // The settings command: the language list from the files of the "languages" folder, the
    // configured language chosen.
    void FillLanguages();

private:
    void Connect();
    // The edits of the values that the units switch and Reset change, as the configuration holds them.
    void ShowUnitValues();
    // The six colour boxes that Reset sets, as the configuration holds them; their handlers apply them.
    void ShowResetColours();
    // A number edit: Apply gets the number when the text is a positive one; any other text keeps the
    // setting. When the user leaves the edit it shows the value in effect again.
    void ConnectNumber(QLineEdit* Edit, void (TSettingsPage::*Apply)(double), void (TSettingsPage::*Show)());
    void SetSystemTol(double V);
    void SetChainTol(double V);
    void SetMaxArcFit(double V);
    void ShowSystemTol();
    void ShowChainTol();
    void ShowMaxArcFit();
    void txtMaxCurveSegChange();
    void cboUnitsChange(int Index);
    void nol_cboLangChange(int Index);
    void sbtResetClick();
    void sbtExtEditorClick();
    void FillSkins();
    void ChooseSkin(const QString& Name);
    // The check boxes of the toolbars follow each toolbar, also one closed by hand.
    void FollowToolbars();

    std::unique_ptr<Ui::SettingsPage> ui;
    TfrmMain& Main;
    TProgramObjects& Objects;
    TAppConfDir* FDirs = nullptr;
    std::array<QCheckBox*, 6> FViewTbr{};
    // The language in use, to go back to when another one's file is missing.
    std::string FLanguage;
};

// The main window's toolbars in the order of the page's check boxes chkViewTbr1 ... chkViewTbr6.
extern const std::array<const char*, 6> SettingsToolbarNames;
