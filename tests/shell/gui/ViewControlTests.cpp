// The view toolbar, the view's wheel and the status bar, each checked by what it does to the view
// or the status bar.
#include "ShellFixture.h"

#include "QVCmp.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneCamera.h"
#include "SceneWidget.h"
#include "StatusLabel.h"
#include "UndoRecord.h"
#include "UndoRedo.h"
#include "UnitConfig.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

namespace {
struct TViewControls : TShellFixture {
    void SetUp() override
    {
        TShellFixture::SetUp();
        Start();
        ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{200, 100, 1}));
        DrawingView->RebuildAll(false);
        ::Drawing->ZoomToExtents();
    }
    // Clicks a toolbar button as the user does.
    void Click(QAction* A)
    {
        for (QToolBar* bar : Main().findChildren<QToolBar*>())
            if (QWidget* b = bar->widgetForAction(A)) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        FAIL() << "no button for " << A->objectName().toStdString();
    }
    void Wheel(QWidget* Target, QPoint At, int Delta)
    {
        QWheelEvent e(At, Target->mapToGlobal(At), QPoint(), QPoint(0, Delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(Target, &e);
    }
    double Distance() const
    {
        const TVector3D p = DrawingView->Camera->Position();
        return std::sqrt(p.X * p.X + p.Y * p.Y + p.Z * p.Z);
    }
};
} // namespace

TEST_F(TViewControls, ZoomInThenOutEndsAtFifteenSixteenths)
{
    const double scale = DrawingView->Camera->SceneScale, distance = Distance();
    const double depth = DrawingView->Camera->DepthOfView;
    Click(Form().sbtZoomIn);
    EXPECT_NEAR(DrawingView->Camera->SceneScale, scale * 1.25, 1e-9 * scale);
    QTest::keyClick(&Main(), Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_NEAR(DrawingView->Camera->SceneScale, scale * 0.9375, 1e-9 * scale);
    EXPECT_NEAR(Distance(), distance * 0.8 * 1.3333334, 1e-5 * distance);
    EXPECT_NEAR(DrawingView->Camera->DepthOfView, depth * 0.8 * 1.333333333, 1e-6 * depth);
    // F2 zooms back to the drawing's extents.
    QTest::keyClick(&Main(), Qt::Key_F2);
    EXPECT_NEAR(DrawingView->Camera->SceneScale, scale, 1e-9 * scale);
}

TEST_F(TViewControls, TheWheelZoomsAboutTheMouseOverTheViewOnly)
{
    TSceneWidget* viewer = Main().Viewer();
    const QPoint at(viewer->width() / 2 + 120, viewer->height() / 2 - 60);
    const TPoint3D before = DrawingView->ScreenToWorld(at.x(), at.y());
    const double scale = DrawingView->Camera->SceneScale;
    Wheel(viewer, at, 120);
    EXPECT_NEAR(DrawingView->Camera->SceneScale, scale * 0.9, 1e-9 * scale);
    const TPoint3D after = DrawingView->ScreenToWorld(at.x(), at.y());
    // Within a pixel or so of where it was.
    const double pixel = DrawingView->PixelSize();
    EXPECT_NEAR(after.X, before.X, 2 * pixel);
    EXPECT_NEAR(after.Y, before.Y, 2 * pixel);
    // Over a toolbar nothing happens.
    Wheel(Form().tbrView, QPoint(5, 5), 120);
    EXPECT_NEAR(DrawingView->Camera->SceneScale, scale * 0.9, 1e-9 * scale);
}

TEST_F(TViewControls, StandardViewsKeepTheDistance)
{
    const double r = Distance();
    Click(Form().sbtFrontView);
    EXPECT_NEAR(DrawingView->Camera->Position().Y, -r, 1e-9 * r);
    EXPECT_NEAR(DrawingView->Camera->Position().Z, 0, 1e-9 * r);
    Click(Form().sbtIsoView);
    EXPECT_NEAR(DrawingView->Camera->Position().X, 0.577350258827209 * r, 1e-6 * r);
    EXPECT_NEAR(Distance(), r, 1e-6 * r);
    Click(Form().sbtTopView);
    EXPECT_NEAR(DrawingView->Camera->Position().Z, r, 1e-6 * r);
    EXPECT_LT(DrawingView->Camera->Position().Y, 0);
}

TEST_F(TViewControls, GridAndAxisTogglesSwitchTheViewAndTheSettings)
{
    ASSERT_TRUE(Form().sbtGridOnOff->isChecked());
    QTest::mouseClick(Form().sbtGridOnOff, Qt::LeftButton);
    EXPECT_FALSE(AppConfig->SGrid);
    EXPECT_FALSE(DrawingView->GridVisible);
    QTest::mouseClick(Form().sbtGridOnOff, Qt::LeftButton);
    EXPECT_TRUE(AppConfig->SGrid);
    EXPECT_TRUE(DrawingView->GridVisible);

    ASSERT_TRUE(Form().sbtAxisOnOff->isChecked());
    QTest::mouseClick(Form().sbtAxisOnOff, Qt::LeftButton);
    EXPECT_FALSE(AppConfig->SAxis);
    EXPECT_FALSE(DrawingView->AxesVisible());
}

TEST_F(TViewControls, RedrawClearsTheSimulatedPathWhileASimulationIsSetUp)
{
    int cleared = 0;
    bool active = true;
    Main().Hooks.SimulatorActive = [&] { return active; };
    Main().Hooks.SimulatorClearPath = [&] { ++cleared; };
    const int children = DrawingView->DrawingGroup->Count();
    ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{5, 5, 1}));
    DrawingView->DrawingGroup->DeleteChildren();
    QTest::keyClick(&Main(), Qt::Key_F3);
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(DrawingView->DrawingGroup->Count(), 0);
    active = false;
    QTest::keyClick(&Main(), Qt::Key_F3);
    EXPECT_EQ(cleared, 1);
    EXPECT_GE(DrawingView->DrawingGroup->Count(), children);
    EXPECT_GT(DrawingView->DrawingGroup->Count(), 0);
}

TEST_F(TViewControls, RightClicksOnTheStatusBarOpenTheGridDialogInItsRanges)
{
    int dialogs = 0;
    Main().Hooks.GridDialog = [&] { ++dialogs; };
    QWidget* strip = Form().pnlStatusItems;
    const int y = strip->height() / 2;
    const int left = strip->mapTo(Form().tbrStatusBar, QPoint(0, 0)).x();
    for (const int x : {92, 115, 200}) {
        QTest::mouseClick(strip, Qt::RightButton, Qt::NoModifier, QPoint(x - left, y));
        EXPECT_EQ(dialogs, 0) << x;
    }
    QTest::mouseClick(strip, Qt::RightButton, Qt::NoModifier, QPoint(100 - left, y));
    EXPECT_EQ(dialogs, 1);
}

TEST_F(TViewControls, TheLayerButtonAndTheCoordinateReadOut)
{
    int layerDialogs = 0;
    Main().Hooks.LayerDialog = [&] { ++layerDialogs; };
    EXPECT_EQ(Form().sbtLayer->text().toStdString(), GetLangMain("309") + " 0");
    QTest::mouseClick(Form().sbtLayer, Qt::LeftButton);
    EXPECT_EQ(layerDialogs, 1);
    EXPECT_EQ(Form().StatusBarMess->text().toStdString(), GetLangString(418));

    // The mouse over the view shows the world point under it.
    CADProgram->Snap2Grid = false;
    TSceneWidget* viewer = Main().Viewer();
    const TPoint p = DrawingView->WorldToScreen({50, 25, 1});
    QTest::mouseMove(viewer, QPoint(p.X, p.Y));
    QTRY_VERIFY(Form().lblCoordinate->text().startsWith("X: "));
    TPoint2D snapped;
    CADProgram->GetSnappedPoint(snapped);
    EXPECT_NEAR(snapped.X, 50, 2 * DrawingView->PixelSize());
    EXPECT_NEAR(snapped.Y, 25, 2 * DrawingView->PixelSize());
    EXPECT_EQ(Form().lblCoordinate->text().toStdString(),
              "X: " + FormatCoord(snapped.X) + " Y: " + FormatCoord(snapped.Y));
}

TEST_F(TViewControls, ZoomWindowAndPanRunAsNestedTasks)
{
    Click(Form().sbtZoomWin);
    EXPECT_TRUE(CADProgram->OperationRunning);
    CADProgram->StopOperation();
    Click(Form().sbtPan);
    EXPECT_TRUE(CADProgram->OperationRunning);
    QTest::mouseClick(Form().sbtCancel, Qt::LeftButton);
    EXPECT_FALSE(CADProgram->OperationRunning);
}

// The program makes its undo log on its drawing; the undo button takes back the last record.
TEST_F(TViewControls, TheUndoButtonTakesBackTheLastEdit)
{
    ASSERT_NE(UndoRedo, nullptr);
    const TGraphicObject* line =
        ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{5, 5, 1}, TPoint2D{9, 9, 1}));
    const int32_t id = line->ID;
    TUndoRecord(TUndoKind::NewObjects).Added(*line).Push(*UndoRedo);
    Click(Form().sbtUndo);
    EXPECT_EQ(::Drawing->GetObject(id), nullptr);
    EXPECT_EQ(UndoRedo->RecordCount(), 0);
}

// The view's hint promises it: a drag with the middle button pans, the grabbed point following
// the mouse, also while a drawing task runs, which the drag leaves alone.
TEST_F(TViewControls, AMiddleButtonDragPansTheView)
{
    TSceneWidget* viewer = Main().Viewer();
    struct TCase {
        const char* Name;
        bool ZoomWindowRunning;
    };
    for (const TCase& c : {TCase{"idle", false}, TCase{"under the zoom window", true}}) {
        SCOPED_TRACE(c.Name);
        if (c.ZoomWindowRunning)
            Click(Form().sbtZoomWin);
        const QPoint from(viewer->width() / 2, viewer->height() / 2), to = from + QPoint(120, -70);
        const TPoint3D grabbed = DrawingView->ScreenToWorld(from.x(), from.y());
        QTest::mousePress(viewer, Qt::MiddleButton, Qt::NoModifier, from);
        for (int k = 1; k <= 4; ++k) {
            const QPoint at = from + (to - from) * k / 4;
            QMouseEvent move(QEvent::MouseMove, at, viewer->mapToGlobal(at), Qt::NoButton, Qt::MiddleButton,
                             Qt::NoModifier);
            QApplication::sendEvent(viewer, &move);
        }
        QTest::mouseRelease(viewer, Qt::MiddleButton, Qt::NoModifier, to);
        const TPoint3D under = DrawingView->ScreenToWorld(to.x(), to.y());
        const double pixel = DrawingView->PixelSize();
        EXPECT_NEAR(under.X, grabbed.X, pixel);
        EXPECT_NEAR(under.Y, grabbed.Y, pixel);
        EXPECT_EQ(CADProgram->OperationRunning, c.ZoomWindowRunning);
        CADProgram->StopOperation();
    }
    EXPECT_EQ(viewer->toolTip().toStdString(), GetLangMain("GraphicView.Hint"));
    EXPECT_NE(viewer->toolTip().indexOf("middle button pans"), -1);
}

// The scale bar's length stands above its line and the unit below it, both whole inside the view,
// in the font the view draws them with.
TEST_F(TViewControls, TheScaleBarsLengthAndUnitShowWholeAboveAndBelowTheBar)
{
    QApplication::processEvents();
    DrawingView->Repaint();
    QApplication::processEvents();
    const THudText& t = *DrawingView->ScaleText;
    const QStringList lines = QString::fromStdString(t.Text()).remove('\r').split('\n');
    ASSERT_EQ(lines.size(), 2) << t.Text();
    EXPECT_EQ(lines[1].toStdString(), AppConfig->UnitName);
    QFont font(QString::fromStdString(t.FontFamily));
    font.setPixelSize(t.FontPixelSize);
    const QFontMetrics fm(font);
    const int height = fm.lineSpacing() + fm.height();
    const double top = t.Layout == THudLayout::Top      ? t.Y()
                       : t.Layout == THudLayout::Centre ? t.Y() - height / 2.0
                                                        : double(t.Y() - height);
    const int h = Main().Viewer()->height(), bar = h - TQVScene::ScaleBarRise;
    EXPECT_LE(top + fm.height(), bar) << "the length reaches below the bar";
    EXPECT_GE(top + fm.lineSpacing(), bar) << "the unit reaches above the bar";
    EXPECT_LE(top + height, h) << "the unit is cut off at the view's edge";
    EXPECT_GE(top, 0);
}

// At its smallest the main window shows every part whole: the toolbars' buttons, the status bar's
// parts side by side, and a long status message by its beginning, the whole of it kept.
TEST_F(TViewControls, AtItsSmallestSizeNothingOverlapsAndTheMessageShowsItsBeginning)
{
    Main().resize(Main().minimumSize());
    QApplication::processEvents();
    EXPECT_EQ(Main().size(), Main().minimumSize());
    EXPECT_GE(Main().minimumWidth(), 800);
    for (QToolBar* bar : {Form().tbrFile, Form().tbrCreate, Form().tbrView, Form().tbrEdit})
        for (QAction* a : bar->actions()) {
            QWidget* button = bar->widgetForAction(a);
            if (!a->isVisible() || !button)
                continue;
            SCOPED_TRACE(a->objectName().toStdString());
            EXPECT_TRUE(button->isVisible());
            EXPECT_TRUE(bar->rect().contains(button->geometry()));
        }
    std::vector<QWidget*> parts;
    for (QWidget* w : Form().pnlStatusItems->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible())
            parts.push_back(w);
    ASSERT_GE(parts.size(), 4U);
    for (size_t i = 0; i < parts.size(); ++i)
        for (size_t j = i + 1; j < parts.size(); ++j)
            EXPECT_FALSE(parts[i]->geometry().intersects(parts[j]->geometry()))
                << parts[i]->objectName().toStdString() << " and " << parts[j]->objectName().toStdString();

    const std::string message = "Set the colour thresholds and the speck size, then start the tracing, "
                                "or close the page to keep the picture as it is.";
    Main().SetStatusMessage(message);
    QApplication::processEvents();
    auto* label = dynamic_cast<TStatusLabel*>(Form().StatusBarMess);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(), message);
    const QString shown = label->ShownText();
    EXPECT_TRUE(shown.startsWith("Set the")) << shown.toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
    Main().SetStatusMessage("Ready");
    EXPECT_EQ(label->ShownText(), "Ready");
}
