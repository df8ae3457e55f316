#pragma once
// The placement panel of an opened file on the tool window's placement sheet: what was read in
// an information tree, the size with the ratio lock, the origin (radios, typed, picked in the
// view), the rotation of DXF and SVG files, the ACI colours of a DXF file, auto zoom, Apply and
// Done. The controls are built at run time on the sheet given; the placement itself is
// TVecRasPlacement's.
#include "VecRasInfo.h"

#include <QPointer>

#include <array>
#include <string>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

class TDlgOpenGeo : public TVecRasPlacement {
public:
    // Builds the controls on Sheet (not owned; the controls are its children and go with the
    // panel).
    TDlgOpenGeo(QWidget* Sheet, TQV_01Cmp2D& Drawing);
    ~TDlgOpenGeo() override;

    void SetupDxf(const TDXF2DImport& Import) override;
    void SetupSvg() override;
    void SetupBmp(const TBitmap32& Picture) override;
    void SetupJpeg(const TBitmap32& Picture) override;
    void SetupStl(TQV_STLSurf& Surface) override;

    void UpdateOriginEdits() override;
    void AppliedChanged() override;

    // The page that holds every control.
    QWidget* Page() const { return FPage; }

private:
    void Build();
    void ShowDrawingControls(bool Dxf);
    void ShowPictureControls();
    void ShowStlControls();
    // The origin picture at (L, T), W x H, with the corner and centre radios on it and the
    // file-zero radio Gap pixels below.
    void PlaceOriginRadios(int L, int T, int W, int H, int Gap);
    // The extents and sizes of the surface in the edits and the tree.
    void ShowStlExtents();
    // The number of size and origin edits in use: Z only for an STL surface.
    int Axes() const { return StlMode ? 3 : 2; }
    // The size edits show the scaled sizes, the rotation edit the rotation.
    void ShowSizes();
    void SetupPicture(const TBitmap32& Picture, bool IsBmp);
    void ShowImageInfo();
    // The file's name, the extents' corners and the sizes.
    void AddExtentLines(QTreeWidgetItem* Root);
    void AddTreeLine(QTreeWidgetItem* Root, const std::string& Text);
    QTreeWidgetItem* NewTreeRoot(const std::string& Text);

    void SizeEdited(int Axis, const QString& Text);
    void RotationEdited(const QString& Text);
    void OriginEdited(int Axis, const QString& Text);
    void OriginRadioChosen(int K);
    void ZRadioChosen(bool Top);
    void ClearOriginRadios();
    void AciToggled(bool Checked);
    void DoneClicked();

    QPointer<QWidget> FPage;
    QGroupBox* grpInfo = nullptr;
    QTreeWidget* tvInfo = nullptr;
    QGroupBox* grpDxfRotate = nullptr;
    QLineEdit* txtDxfRotate = nullptr;
    QGroupBox* grpAttribb = nullptr;
    std::array<QLabel*, 3> lblAttrib{};
    std::array<QLineEdit*, 3> txtAttrib{};
    std::array<QLabel*, 3> lblUnit{};
    QCheckBox* chkRatio = nullptr;
    QGroupBox* grpOrigin = nullptr;
    QWidget* pbxOrigin = nullptr;
    QButtonGroup* OriginRadios = nullptr;
    std::array<QRadioButton*, 6> rbtOrigin{};
    // STL: the origin's Z at the top (radio 6) or the bottom (radio 7) of the surface.
    QButtonGroup* ZRadios = nullptr;
    std::array<QRadioButton*, 2> rbtZ{};
    std::array<QLabel*, 2> lblZ{};
    // Radio 6 was checked by the first corner chosen, not by the user.
    bool ZTopAuto = false;
    QPushButton* sbtSetOrigin = nullptr;
    std::array<QLabel*, 3> lblOrigin{};
    std::array<QLineEdit*, 3> txtOrigin{};
    QCheckBox* chkDxfAci = nullptr;
    QCheckBox* chkAutoZoom = nullptr;
    QPushButton* sbtOpenApply = nullptr;
    QPushButton* sbtOpenDone = nullptr;
    // The layers' pen colours while the ACI colours are off.
    std::vector<int32_t> SavedLayerColours;
};
