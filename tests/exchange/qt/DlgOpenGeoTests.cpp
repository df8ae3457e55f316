// The placement panel on a standalone sheet, driven by QTest: typed sizes with the ratio lock,
// origin radios, typed and picked origins, Apply and Done alternating, refused sizes, the
// picture facts and the ACI colour box.
#include "DlgOpenGeo.h"

#include "Bitmap32.h"
#include "EnglishTexts.h"
#include "FakeServices.h"
#include "JpegTestWriter.h"
#include "QVCmp.h"
#include "QVDXFImport.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVLanguage.h"
#include "QVSurf3D.h"
#include "QVVariabili.h"
#include "StlFixtures.h"
#include "TempFolder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// The controls of the panel's sheet, found by name and driven with QTest.
struct TSheetFixture : ::testing::Test {
    TEnglishTexts Texts;
    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
    QWidget Sheet;
    TQV_01Cmp2D Drawing;
    std::unique_ptr<TDlgOpenGeo> Panel;

    TSheetFixture() { Sheet.resize(424, 420); }
    ~TSheetFixture() override
    {
        Panel.reset();
        CurrentFile = {};
    }

    template <class T> T* Find(const char* Name)
    {
        T* w = Sheet.findChild<T*>(Name);
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }
    void Type(const char* Edit, const char* Text)
    {
        QLineEdit* e = Find<QLineEdit>(Edit);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, Text);
    }
    void Click(const char* Name) { QTest::mouseClick(Find<QAbstractButton>(Name), Qt::LeftButton); }
    std::string Text(const char* Edit) { return Find<QLineEdit>(Edit)->text().toStdString(); }
};

struct TPanelFixture : TSheetFixture {
    TPanelFixture()
    {
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{10, 20, 1}, TPoint2D{110, 70, 1}));
        CurrentFile = {"/somewhere/lines.dxf", 2, ""};
        Panel = std::make_unique<TDlgOpenGeo>(&Sheet, Drawing);
        ControlsReady = false;
        auto import = TDXF2DImport::FromText("0\nEOF\n", &Drawing);
        import->LinesCount = 1;
        Panel->SetupDxf(*import);
        ControlsReady = true;
        Sheet.show();
    }
    TRect2D Extents()
    {
        TRect2D r;
        Drawing.GetExtents(r);
        return r;
    }
};

} // namespace

TEST_F(TPanelFixture, ShowsTheFileAndItsSize)
{
    EXPECT_EQ(DlgOpenGeo, Panel.get());
    EXPECT_EQ(Find<QLineEdit>("txtAttriba")->text().toStdString(), FormatCoord(100));
    EXPECT_EQ(Find<QLineEdit>("txtAttribb")->text().toStdString(), FormatCoord(50));
    EXPECT_FALSE(Find<QLineEdit>("txtAttribc")->isEnabled());
    EXPECT_TRUE(Find<QRadioButton>("rbtOriginDxf")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("chkDxfAci")->isVisible());
    auto* tree = Find<QTreeWidget>("tvOpenInfo");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_TRUE(root->text(0).startsWith(QString::fromStdString(GetLangString(180)) + " - Version: "));
    EXPECT_EQ(root->child(0)->text(0).toStdString(), "File: lines.dxf");
    EXPECT_EQ(root->child(6)->text(0).toStdString(), GetLangString(188) + " 1");
    // First state: applied, Done enabled.
    EXPECT_FALSE(Find<QPushButton>("sbtOpenApply")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("sbtOpenDone")->isEnabled());
}

TEST_F(TPanelFixture, TypedSizeWithTheRatioLockThenApply)
{
    Type("txtAttriba", "200");
    EXPECT_EQ(Find<QLineEdit>("txtAttribb")->text().toStdString(), FormatCoord(100));
    EXPECT_DOUBLE_EQ(Panel->Scale.Y, 2);
    EXPECT_TRUE(Find<QPushButton>("sbtOpenApply")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("sbtOpenDone")->isEnabled());

    Click("rbtOrigin1");
    Click("sbtOpenApply");
    const TRect2D r = Extents();
    EXPECT_NEAR(r.First.X, 0, 1e-9);
    EXPECT_NEAR(r.First.Y, 0, 1e-9);
    EXPECT_NEAR(r.Second.X, 200, 1e-9);
    EXPECT_NEAR(r.Second.Y, 100, 1e-9);
    EXPECT_FALSE(Find<QPushButton>("sbtOpenApply")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("sbtOpenDone")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("txtOriginX")->text().toStdString(), FormatCoord(20));
}

TEST_F(TPanelFixture, ZeroOrNegativeSizesAreRefused)
{
    for (const char* text : {"0", "-3", "-", "."}) {
        SCOPED_TRACE(text);
        Type("txtAttriba", text);
        EXPECT_DOUBLE_EQ(Panel->Scale.X, 1);
        EXPECT_DOUBLE_EQ(Panel->Scale.Y, 1);
    }
    Click("sbtOpenApply");
    EXPECT_NEAR(Extents().Second.X, 110, 1e-9);
}

TEST_F(TPanelFixture, TypedAndPickedOrigins)
{
    Type("txtOriginX", "60");
    Type("txtOriginY", "45");
    EXPECT_FALSE(Find<QRadioButton>("rbtOriginDxf")->isChecked());
    Click("sbtOpenApply");
    EXPECT_NEAR(Extents().First.X, -50, 1e-9);
    EXPECT_NEAR(Extents().First.Y, -25, 1e-9);

    // The pick button arms the pick; the view's click hands the point over.
    Click("sbtSetOrigin");
    EXPECT_TRUE(Panel->PickArmed);
    Panel->PickArmed = false;
    Panel->SetOriginPoint({-50, -25, 1});
    Panel->ApplyClick();
    EXPECT_NEAR(Extents().First.X, 0, 1e-9);
    EXPECT_NEAR(Extents().First.Y, 0, 1e-9);
}

TEST_F(TPanelFixture, RotationAndDone)
{
    Type("txtDxfRotate", "90");
    EXPECT_DOUBLE_EQ(Panel->Rotation, 90);
    Click("sbtOpenApply");
    const TRect2D r = Extents();
    EXPECT_NEAR(r.Second.X - r.First.X, 50, 1e-9);
    EXPECT_NEAR(r.Second.Y - r.First.Y, 100, 1e-9);
    Click("sbtOpenDone");
    EXPECT_EQ(Window.StatusMessages.back(), "");
    EXPECT_NEAR(Extents().Second.X - Extents().First.X, 50, 1e-9);
}

TEST_F(TPanelFixture, AciColoursComeBackExactly)
{
    Drawing.Layers.GetLayer(3).Pen.SetColor(0x123456);
    Drawing.Layers.GetLayer(4).Visible = false;
    Click("chkDxfAci");
    EXPECT_EQ(Drawing.Layers.GetLayer(3).Pen.Color(), 0x00FF00);
    EXPECT_TRUE(Drawing.Layers.GetLayer(4).Visible);
    Click("chkDxfAci");
    EXPECT_EQ(Drawing.Layers.GetLayer(3).Pen.Color(), 0x123456);
}

// A surface of the box (0, 0, 0)-(10, 20, 5), as the Open command leaves it.
struct TStlPanelFixture : TSheetFixture {
    TQV_STLSurf* Surface = nullptr;

    TStlPanelFixture()
    {
        Surface = Drawing.AddObject(-1, std::make_unique<TQV_STLSurf>(-1, BoxMesh(0, 0, 0, 10, 20, 5)));
        CurrentFile = {"/somewhere/box.stl", 6, ""};
        Panel = std::make_unique<TDlgOpenGeo>(&Sheet, Drawing);
        ControlsReady = false;
        Panel->SetupStl(*Surface);
        ControlsReady = true;
        Sheet.show();
    }
};

TEST_F(TStlPanelFixture, ShowsTheSurfacesThreeSizesAndTheZRadios)
{
    EXPECT_EQ(Text("txtAttriba"), FormatCoord(10));
    EXPECT_EQ(Text("txtAttribb"), FormatCoord(20));
    EXPECT_EQ(Text("txtAttribc"), FormatCoord(5));
    EXPECT_TRUE(Find<QLineEdit>("txtAttribc")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>("txtOriginZ")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>("txtDxfRotate")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("chkDxfAci")->isVisible());
    EXPECT_TRUE(Find<QRadioButton>("rbtOriginDxf")->isChecked());
    for (const char* name : {"rbtOrigin6", "rbtOrigin7"}) {
        EXPECT_TRUE(Find<QRadioButton>(name)->isVisible()) << name;
        EXPECT_FALSE(Find<QRadioButton>(name)->isChecked()) << name;
    }
    EXPECT_EQ(Find<QLabel>("lblZTop")->text().toStdString(), GetLangToolWin("lblZTop"));
    QTreeWidgetItem* root = Find<QTreeWidget>("tvOpenInfo")->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0).toStdString(), GetLangString(2500));
    EXPECT_EQ(root->child(0)->text(0).toStdString(), GetLangString(182) + "box.stl");
    EXPECT_EQ(root->child(5)->text(0).toStdString(), GetLangString(171) + " 1");
}

TEST_F(TStlPanelFixture, SizeZCornerTopAndApplyPlaceTheSurface)
{
    Type("txtAttribc", "10");
    EXPECT_EQ(Text("txtAttriba"), FormatCoord(20));
    EXPECT_EQ(Text("txtAttribb"), FormatCoord(40));
    // The first corner chosen also puts the origin on the top.
    Click("rbtOrigin1");
    EXPECT_TRUE(Find<QRadioButton>("rbtOrigin6")->isChecked());
    EXPECT_EQ(Text("txtOriginZ"), FormatCoord(10));
    for (int n = 0; n < 2; ++n) {
        Click("sbtOpenApply");
        EXPECT_DOUBLE_EQ(Surface->Box3D.First.X, 0);
        EXPECT_DOUBLE_EQ(Surface->Box3D.Second.Y, 40);
        EXPECT_DOUBLE_EQ(Surface->Box3D.First.Z, -10);
        EXPECT_DOUBLE_EQ(Surface->Box3D.Second.Z, 0);
        // Apply again after a change that changes nothing.
        Type("txtAttribc", "10");
    }
    Click("rbtOrigin7");
    Click("sbtOpenApply");
    EXPECT_DOUBLE_EQ(Surface->Box3D.First.Z, 0);
    // The file's own zero in all three axes: the Z radios go. (Its indicator: the radio is
    // wider than its text.)
    QTest::mouseClick(Find<QRadioButton>("rbtOriginDxf"), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_FALSE(Find<QRadioButton>("rbtOrigin6")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>("rbtOrigin7")->isChecked());
    Click("sbtOpenApply");
    EXPECT_DOUBLE_EQ(Surface->Box3D.First.X, 0);
    EXPECT_DOUBLE_EQ(Surface->Box3D.Second.Z, 10);
    Type("txtOriginZ", "4");
    Click("sbtOpenApply");
    EXPECT_DOUBLE_EQ(Surface->Box3D.Second.Z, 6);
}

TEST(DlgOpenGeoPicture, JpegFactsAndSize)
{
    TEnglishTexts texts;
    TTempFolder folder;
    TJpegEncoding e;
    e.XDensity = 300;
    e.YDensity = 150;
    const std::string name = folder.Path() + "/scan.jpg";
    ASSERT_TRUE(WriteBytes(name, EncodeJpeg(
                                     600, 300, [](int, int) { return 0u; }, e)));
    CurrentFile = {name, 4, ""};
    QWidget sheet;
    TQV_01Cmp2D drawing;
    TDlgOpenGeo panel(&sheet, drawing);
    const TMemoryBitmap32 picture(600, 300);
    panel.SetupJpeg(picture);
    EXPECT_EQ(sheet.findChild<QLineEdit*>("txtAttriba")->text().toStdString(), FormatCoord(50.8));
    EXPECT_EQ(sheet.findChild<QLineEdit*>("txtAttribb")->text().toStdString(), FormatCoord(25.4));
    EXPECT_FALSE(sheet.findChild<QRadioButton*>("rbtOriginDxf")->isVisible());
    QTreeWidgetItem* root = sheet.findChild<QTreeWidget*>("tvOpenInfo")->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->child(4)->text(0).toStdString(), GetLangString(114) + " 300");
    // The vertical resolution is the file's own, not a constant.
    EXPECT_EQ(root->child(5)->text(0).toStdString(), GetLangString(115) + " 150");
    CurrentFile = {};
}
