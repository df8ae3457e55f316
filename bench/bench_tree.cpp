// The geometry tree of a large drawing (1,000,000 lines) beside the drawing's load, each phase
// in a fresh process (FreshProcess.h), the window on Qt's offscreen platform:
//   load       the drawing file read into a drawing, no tree;
//   show       a loaded drawing handed to the geometry page of a window already shown, until
//              the window answers (its frame painted again and a posted event handled);
//   load+tree  the file read into a drawing that the shown page already lists, until the window
//              answers again (the tree's share of a load with the program's window open);
//   expand     the loaded layer of a million lines opened in the tree until the window answers.
// Goal: the tree's share (show, and load+tree minus load) within 0.1x the load, at any size.
// Usage: bench_tree [lines]   (default 1000000)
#include "FreshProcess.h"
#include "QVCmp.h"
#include "QVGeoPage.h"
#include "QVGeoTreeModel.h"
#include "QVRegistry.h"
#include "TracedDrawing.h"

#include <QApplication>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class TNoHost : public TGeoPageHost {
public:
    TQVScene* GeoView() override { return nullptr; }
    void RerunPanelCommand(TPanelMode) override {}
};

// Runs the event loop until a posted event is handled after everything pending, the window's
// frame included: from then on the window answers the user.
void UntilResponsive(QWidget& Window)
{
    Window.repaint();
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    while (!answered)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The program's window with the geometry page, shown and answering, and an empty drawing, in a
// process of its own. Section gets them and measures what it will.
TFirstUse WithShownPage(const std::function<TFirstUse(TGeoPage&, QWidget&, TQV_01Cmp2D&)>& Section)
{
    return InFreshProcess([&] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        int argc = 1;
        char name[] = "bench_tree";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        TNoHost host;
        TQV_01Cmp2D drawing; // outlives the page
        QWidget window;
        window.resize(320, 700);
        auto* page = new TGeoPage(host, true, &window);
        page->resize(window.size());
        window.show();
        UntilResponsive(window);
        const TFirstUse r = Section(*page, window, drawing);
        page->AttachDrawing(nullptr);
        return r;
    });
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int32_t lines = argc >= 2 ? std::atoi(argv[1]) : 1'000'000;
    const char* tmp = std::getenv("TMPDIR");
    const std::string path =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/rastrel-bench-tree-" + std::to_string(getpid()) + ".pnc";
    RegisterDrawingClasses();
    {
        TQV_01Cmp2D d;
        FillTracedDrawing(d, lines, 0);
        d.SaveToFile(path);
    }

    constexpr int Runs = 5;
    std::vector<double> load, show, loadTree, expand;
    for (int i = 0; i < Runs; ++i) {
        load.push_back(InFreshProcess([&] {
                           TQV_01Cmp2D d;
                           return MeasureFirstUse([&] { d.LoadFromFile(path, false); });
                       }).Seconds);
        // A loaded drawing handed to the page.
        show.push_back(WithShownPage([&](TGeoPage& page, QWidget& window, TQV_01Cmp2D& d) {
                           d.LoadFromFile(path, false);
                           return MeasureFirstUse([&] {
                               page.AttachDrawing(&d);
                               UntilResponsive(window);
                           });
                       }).Seconds);
        // The drawing read while the page lists it.
        loadTree.push_back(WithShownPage([&](TGeoPage& page, QWidget& window, TQV_01Cmp2D& d) {
                               page.AttachDrawing(&d);
                               return MeasureFirstUse([&] {
                                   d.LoadFromFile(path, false);
                                   UntilResponsive(window);
                               });
                           }).Seconds);
        // Then its one layer opened.
        expand.push_back(WithShownPage([&](TGeoPage& page, QWidget& window, TQV_01Cmp2D& d) {
                             page.AttachDrawing(&d);
                             d.LoadFromFile(path, false);
                             UntilResponsive(window);
                             const TFirstUse r = MeasureFirstUse([&] {
                                 page.TreeView()->expand(page.Model().LayerIndex(0));
                                 UntilResponsive(window);
                             });
                             if (page.Model().rowCount(page.Model().LayerIndex(0)) != d.ObjectsCount())
                                 std::abort();
                             return r;
                         }).Seconds);
    }
    std::remove(path.c_str());
    const double l = Median(load), s = Median(show), lt = Median(loadTree), e = Median(expand);
    std::printf("drawing of %d lines, median of %d fresh processes each\n", lines, Runs);
    std::printf("  load (no tree)                      %8.3f s\n", l);
    std::printf("  show the tree of the loaded drawing %8.3f s   %.3fx the load (goal < 0.1x)\n", s, s / l);
    // Two loads in different processes: their difference carries the machine's noise as well.
    std::printf(
        "  load with the tree shown            %8.3f s   the tree's share %.3fx the load (goal < 0.1x)\n", lt,
        (lt - l) / l);
    std::printf("  open the layer of %d lines     %8.3f s   %.3fx the load\n", lines, e, e / l);
    return 0;
}
