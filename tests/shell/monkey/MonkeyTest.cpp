// The monkey: a seeded random walk over the main window for MONKEY_SECONDS (30 by default):
// toolbar and menu commands, clicks, drags, wheel turns and keys on the view, right clicks on the
// status bar, tool-window pages shown and closed. It fails on a crash, a sanitizer report, an
// exception that escapes, or a dialog left open. MONKEY_SEED=<seed> repeats a walk.
// The commands of later issues join the walk by being actions of the main window.
#include "ShellFixture.h"

#include "QVCmp.h"
#include "QVEntity.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneWidget.h"

#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>

namespace {
struct TMonkey {
    std::mt19937 Random;
    int Below(int N) { return std::uniform_int_distribution<int>(0, N - 1)(Random); }
    template <class T> const T& Pick(const std::vector<T>& V) { return V[size_t(Below(int(V.size())))]; }
};

// Menus and pop-ups that a step opened are closed before the next, as a user's next click does.
void CloseMenus()
{
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

// A dialog (other than the program's own windows) left on screen.
QWidget* OpenDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && (qobject_cast<QDialog*>(w) || qobject_cast<QMessageBox*>(w)))
            return w;
    return QApplication::activeModalWidget();
}
} // namespace

using Monkey = TShellFixture;

TEST_F(Monkey, RandomCommandsClicksDragsAndKeys)
{
    const char* seedText = std::getenv("MONKEY_SEED");
    const unsigned seed = seedText ? unsigned(std::strtoul(seedText, nullptr, 10)) : std::random_device{}();
    const char* secondsText = std::getenv("MONKEY_SECONDS");
    const int seconds = secondsText ? std::atoi(secondsText) : 30;
    std::printf("monkey: MONKEY_SEED=%u, %d seconds\n", seed, seconds);
    std::fflush(stdout);
    TMonkey m{std::mt19937(seed)};

    Start();
    // The close question is answered No during the walk: the program stays. The clear question
    // of the file commands gets Yes at times.
    SetMessageAnswerer([&](const TMessageRequest& R) {
        Boxes.push_back(R);
        if (R.Buttons == TMsgButtons::Ok)
            return TMsgResult::Ok;
        if (R.Checked) {
            *R.Checked = m.Below(2) == 0;
            return m.Below(2) == 0 ? TMsgResult::Yes : TMsgResult::No;
        }
        return m.Below(3) == 0 && R.Buttons != TMsgButtons::YesNo ? TMsgResult::Cancel : TMsgResult::No;
    });
    // The file dialogs: a cancel or one of the small files of the test's folder; saves go there.
    const std::string dxf = Data.Path() + "/monkey.dxf";
    std::ofstream(dxf) << "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n50\n21\n30\n"
                          "0\nENDSEC\n0\nEOF\n";
    const std::string damaged = Data.Path() + "/damaged.dxf";
    std::ofstream(damaged) << "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nx\n";
    const std::string bmp = Data.Path() + "/monkey.bmp";
    {
        QImage picture(12, 8, QImage::Format_RGB32);
        picture.fill(Qt::white);
        picture.save(QString::fromStdString(bmp), "BMP");
    }
    const std::string stl = Data.Path() + "/monkey.stl";
    std::ofstream(stl) << "solid s\n facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n   vertex 40 0 5\n"
                          "   vertex 0 30 10\n  endloop\n endfacet\nendsolid s\n";
    const std::string svg = Data.Path() + "/monkey.svg";
    std::ofstream(svg)
        << "<svg><path d='M0 0 L40 0 A20 20 0 0 1 40 40 Z' fill='red'/><circle cx='10' r='5'/></svg>";
    const std::string brokenSvg = Data.Path() + "/broken.svg";
    std::ofstream(brokenSvg) << "<svg><path d='M0 0 L'/></svg>";
    const std::vector<std::string> openNames = {"",  dxf, damaged,   bmp,
                                                stl, svg, brokenSvg, Data.Path() + "/monkey.pnc"};
    SetFileDialogAnswerer([&](const TFileDialogRequest& R) {
        if (R.Save)
            return m.Below(3) == 0 ? std::string() : Data.Path() + "/monkey.pnc";
        return m.Pick(openNames);
    });
    for (int i = 0; i < 30; ++i)
        ::Drawing->AddObject(
            -1, std::make_unique<TLine2D>(-1, TPoint2D{double(i * 7 % 90), double(i * 13 % 70), 1},
                                          TPoint2D{double(i * 11 % 100), double(i * 5 % 80), 1}));
    DrawingView->RebuildAll(false);

    std::vector<QAction*> actions;
    for (QAction* a : Main().findChildren<QAction*>())
        if (!a->objectName().isEmpty())
            actions.push_back(a);
    std::vector<std::string> tabs;
    for (const auto& [tab, sheet] : TfrmToolWin::TabSheets())
        tabs.push_back(tab);
    // With Ctrl, O, S, N and Z are the desktop's keys for the file commands and Undo.
    const std::vector<int> keys = {Qt::Key_Escape, Qt::Key_Return, Qt::Key_F2,    Qt::Key_F3,   Qt::Key_F1,
                                   Qt::Key_Delete, Qt::Key_A,      Qt::Key_Space, Qt::Key_Left, Qt::Key_Up,
                                   Qt::Key_O,      Qt::Key_S,      Qt::Key_N,     Qt::Key_Z};
    const std::vector<Qt::KeyboardModifiers> mods = {Qt::NoModifier, Qt::ControlModifier, Qt::ShiftModifier,
                                                     Qt::AltModifier,
                                                     Qt::ControlModifier | Qt::ShiftModifier};
    const std::vector<Qt::MouseButton> buttons = {Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                                  Qt::MiddleButton};

    // The dialogs that commands open modally (layers, grid, coordinates): a few random keys, then
    // OK or Cancel, as a user leaves them.
    QTimer dialogs;
    dialogs.setInterval(20);
    QObject::connect(&dialogs, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        if (m.Below(3) == 0)
            QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, static_cast<Qt::Key>(m.Pick(keys)));
        else if (m.Below(2) == 0)
            d->accept();
        else
            d->reject();
    });
    dialogs.start();
    // The update check goes to a port where nothing listens: never to the network.
    ::setenv("RASTREL_UPDATE_URL", "http://127.0.0.1:1/update.html", 1);

    TSceneWidget* viewer = Main().Viewer();
    auto somewhere = [&] { return QPoint(m.Below(viewer->width()), m.Below(viewer->height())); };
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int steps = 0;
    while (std::chrono::steady_clock::now() < end) {
        ++steps;
        switch (m.Below(9)) {
        case 0:
        case 1: {
            QAction* a = m.Pick(actions);
            if (a->isEnabled())
                a->trigger();
            break;
        }
        case 2:
            QTest::mouseClick(viewer, m.Pick(buttons), m.Pick(mods), somewhere());
            break;
        case 3: {
            const Qt::MouseButton b = m.Pick(buttons);
            const QPoint from = somewhere(), to = somewhere();
            QTest::mousePress(viewer, b, Qt::NoModifier, from);
            for (int k = 1; k <= 4; ++k) {
                QMouseEvent move(QEvent::MouseMove, from + (to - from) * k / 4,
                                 viewer->mapToGlobal(from + (to - from) * k / 4), Qt::NoButton, b,
                                 Qt::NoModifier);
                QApplication::sendEvent(viewer, &move);
            }
            QTest::mouseRelease(viewer, b, Qt::NoModifier, to);
            break;
        }
        case 4:
            QTest::keyClick(m.Below(2) ? static_cast<QWidget*>(viewer) : static_cast<QWidget*>(&Main()),
                            static_cast<Qt::Key>(m.Pick(keys)), m.Pick(mods));
            break;
        case 5: {
            const QPoint at = somewhere();
            QWheelEvent e(at, viewer->mapToGlobal(at), QPoint(), QPoint(0, m.Below(2) ? 120 : -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewer, &e);
            break;
        }
        case 6: {
            QWidget* strip = Form().pnlStatusItems;
            QTest::mouseClick(strip, m.Below(2) ? Qt::RightButton : Qt::LeftButton, Qt::NoModifier,
                              QPoint(m.Below(std::max(strip->width(), 1)), strip->height() / 2));
            break;
        }
        case 7:
            if (ToolWin().isVisible())
                ToolWin().close();
            else
                ToolWin().ShowPages({m.Pick(tabs), m.Pick(tabs)}, "twTrans", 250 + m.Below(200),
                                    200 + m.Below(200));
            break;
        case 8:
            if (m.Below(4) == 0)
                ::Drawing->AddObject(-1,
                                     std::make_unique<TCerchio2D>(-1, TPoint2D{double(m.Below(100)), 0, 1},
                                                                  TPoint2D{double(m.Below(100)), 5, 1}));
            else if (ToolWin().isVisible())
                QTest::keyClick(&ToolWin(), Qt::Key_Escape);
            break;
        }
        QApplication::processEvents();
        CloseMenus();
        ASSERT_EQ(OpenDialog(), nullptr)
            << "a dialog stays open after step " << steps << " (seed " << seed << ")";
        ASSERT_TRUE(Main().isVisible()) << "step " << steps;
    }
    dialogs.stop();
    ::unsetenv("RASTREL_UPDATE_URL");
    std::printf("monkey: %d steps, %zu message boxes answered\n", steps, Boxes.size());
    UserBreak = false;
    EXPECT_GT(steps, 0);
    // The program ends as the user ends it, after all that.
    SetMessageAnswerer([](const TMessageRequest&) { return TMsgResult::Yes; });
    EXPECT_TRUE(Main().close());
    End();
    SetFileDialogAnswerer(nullptr);
}
