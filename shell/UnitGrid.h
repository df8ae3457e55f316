#pragma once
// The grid dialog (TfrmGrid): the view's grid area, origin corner, steps, subdivisions and
// visibility, and the cursor's snap steps and snap to the grid. Each change shows at once; OK
// keeps the values in the configuration, Cancel puts the steps and snap steps back.
// TOrigineComp chooses the grid area's origin: a frame with its centre lines and a radio button
// at each corner and in the centre. TSetGrid keeps every switch of the grid snap in step: the
// interaction program, the configuration, the dialog's check box, the main window's menu item
// and its snap button.
#include <QDialog>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class TfrmGrid;
}
class QComboBox;
class QRadioButton;
class TAppConfig;
class TQV_00CADProg;
class TQVScene;

class TOrigineComp : public QWidget {
public:
    explicit TOrigineComp(QWidget* Parent = nullptr);
    // Checks button I (0 bottom left, 1 top left, 2 top right, 3 bottom right, 4 centre).
    void SetIndex(int32_t I);
    int32_t Index() const;
    // The user clicked button I.
    std::function<void(int32_t I)> OnClick;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    std::array<QRadioButton*, 5> FButtons{};
};

class TSetGrid {
public:
    TSetGrid(TQV_00CADProg& Prog, TAppConfig& Config) : Prog(Prog), Config(Config) {}

    // Switches snapping to the grid; nothing when it is already so. The followers are told while
    // the switch is busy, so that their own change handlers do not call back.
    void SetSnap(bool Value);
    bool Busy() const { return FBusy; }
    bool Snap() const { return FSnap; }
    // The object-snap picture (0-5) last chosen; the snap button shows it, + 6 with grid snap.
    int32_t SnapIconIndex = 0;
    // Each is told the new state: the dialog's box, the menu item, the snap button.
    std::vector<std::function<void(bool Snap)>> Followers;

private:
    TQV_00CADProg& Prog;
    TAppConfig& Config;
    // Off at start whatever the configuration says.
    bool FSnap = false;
    bool FBusy = false;
};

class TfrmGrid : public QDialog {
public:
    // The main window's grid switch is ShowGrid(visible); the others are the program's objects.
    TfrmGrid(QWidget* Parent, TQVScene& View, TQV_00CADProg& Prog, TAppConfig& Config, TSetGrid& SetGrid);
    ~TfrmGrid() override;
    TfrmGrid(const TfrmGrid&) = delete;
    TfrmGrid& operator=(const TfrmGrid&) = delete;

    // The grid switch of the main window: checked as the dialog's box is.
    std::function<void(bool Visible)> ShowGrid;
    // The snap switch set the box (TSetGrid's follower).
    void SetSnapChecked(bool Snap);

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

private:
    void FormShow();
    void FormClose(bool Cancelled);
    // A step changed in one box of a pair: with the link on the other box takes the text too, and
    // the grid is rebuilt once. Text that is no positive number changes nothing.
    void StepChange(QComboBox* Box, QComboBox* Other, bool XChanged);
    void SubdivChange(QComboBox* Box, QComboBox* Other, bool XChanged);
    void SnapChange(QComboBox* Box, QComboBox* Other, bool XChanged);
    // A step or subdivision pair of the view: the other value too when Linked, one rebuild.
    template <class T>
    void LinkedGridChange(QComboBox* Box, QComboBox* Other, bool XChanged, bool Linked, T TQVScene::*FieldX,
                          T TQVScene::*FieldY, void (TQVScene::*SetX)(T), void (TQVScene::*SetY)(T), T Value);
    void SizeChange(bool X, const QString& Text);

    std::unique_ptr<Ui::TfrmGrid> ui;
    TQVScene& View;
    TQV_00CADProg& Prog;
    TAppConfig& Config;
    TSetGrid& SetGrid;
};
