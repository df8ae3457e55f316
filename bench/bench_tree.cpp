// The geometry tree of a large drawing (1,000,000 lines) beside the drawing's load, each phase in
// a fresh process (this program run again with a phase's name):
//   load       the drawing file read into a drawing, no tree;
//   show       a loaded drawing handed to the geometry page of a window already shown, until
//              the window answers (its frame painted again and a posted event handled);
//   load+tree  the file read into a drawing that the shown page already lists, until the window
//              answers again (the tree's share of a load with the program's window open);
//   expand     then the layer of a million lines opened in the tree until the window answers.
// Goal: the tree's share (show, and load+tree minus load) within 0.1x the load, at any size.
// Usage: bench_tree [lines]   (default 1000000)
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVGeoPage.h"
#include "QVGeoTreeModel.h"
#include "QVRegistry.h"

#include <QApplication>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Since(TClock::time_point T0) { return std::chrono::duration<double>(TClock::now() - T0).count(); }

class TNoHost : public TGeoPageHost {
public:
    TQVScene* GeoView() override { return nullptr; }
    void RerunPanelCommand(uint8_t) override {}
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

void WriteDrawing(const std::string& Path, int32_t Lines)
{
    TQV_01Cmp2D d;
    d.Objects.Reserve(Lines);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(0, 1000);
    for (int32_t i = 0; i < Lines; ++i)
        d.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{coord(rng), coord(rng), 1},
                                                  TPoint2D{coord(rng), coord(rng), 1}));
    d.SaveToFile(Path);
}

// ---- the phases, each in its own process; each prints its seconds

int RunPhase(const std::string& Phase, const std::string& Path, int argc, char** argv)
{
    RegisterDrawingClasses();
    if (Phase == "load") {
        TQV_01Cmp2D d;
        const auto t0 = TClock::now();
        d.LoadFromFile(Path, false);
        std::printf("%.6f\n", Since(t0));
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TNoHost host;
    QWidget window;
    window.resize(320, 700);
    auto* page = new TGeoPage(host, true, &window);
    page->resize(window.size());
    TQV_01Cmp2D d;
    if (Phase == "show") {
        // The window is up before, as the program's is: its first frame is not the tree's.
        window.show();
        UntilResponsive(window);
        d.LoadFromFile(Path, false);
        const auto t0 = TClock::now();
        page->AttachDrawing(&d);
        UntilResponsive(window);
        std::printf("%.6f\n", Since(t0));
    } else {
        page->AttachDrawing(&d);
        window.show();
        UntilResponsive(window);
        const auto t0 = TClock::now();
        d.LoadFromFile(Path, false);
        UntilResponsive(window);
        const double loaded = Since(t0);
        const auto t1 = TClock::now();
        QTreeView* tree = page->TreeView();
        tree->expand(page->Model().LayerIndex(0));
        UntilResponsive(window);
        const double expanded = Since(t1);
        if (page->Model().rowCount(page->Model().LayerIndex(0)) != d.ObjectsCount())
            std::fprintf(stderr, "the layer shows %d rows of %d\n", page->Model().rowCount(page->Model().LayerIndex(0)),
                         d.ObjectsCount());
        std::printf("%.6f %.6f\n", loaded, expanded);
    }
    page->AttachDrawing(nullptr);
    return 0;
}

// This program run again for one phase; its printed numbers.
std::vector<double> Child(const std::string& Phase, const std::string& Path)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl("/proc/self/exe", "bench_tree", "--phase", Phase.c_str(), Path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::vector<double> values;
    const char* p = out.c_str();
    char* end = nullptr;
    for (double v = std::strtod(p, &end); end != p; v = std::strtod(p, &end)) {
        values.push_back(v);
        p = end;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || values.empty()) {
        std::fprintf(stderr, "phase %s failed\n", Phase.c_str());
        std::exit(1);
    }
    return values;
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--phase") == 0)
        return RunPhase(argv[2], argv[3], argc, argv);
    const int32_t lines = argc >= 2 ? std::atoi(argv[1]) : 1'000'000;
    const char* tmp = std::getenv("TMPDIR");
    const std::string path =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/rastrel-bench-tree-" + std::to_string(getpid()) + ".pnc";
    RegisterDrawingClasses();
    WriteDrawing(path, lines);

    constexpr int Runs = 5;
    std::vector<double> load, show, loadTree, expand;
    for (int i = 0; i < Runs; ++i) {
        load.push_back(Child("load", path)[0]);
        show.push_back(Child("show", path)[0]);
        const std::vector<double> both = Child("load+tree", path);
        loadTree.push_back(both.at(0));
        expand.push_back(both.at(1));
    }
    std::remove(path.c_str());
    const double l = Median(load), s = Median(show), lt = Median(loadTree), e = Median(expand);
    std::printf("drawing of %d lines, median of %d fresh processes each\n", lines, Runs);
    std::printf("  load (no tree)                     %8.3f s\n", l);
    std::printf("  show the tree of the loaded drawing %8.3f s   %.3fx the load (goal < 0.1x)\n", s, s / l);
    // Two loads in different processes: their difference carries the machine's noise as well.
    std::printf("  load with the tree shown            %8.3f s   the tree's share %.3fx the load (goal < 0.1x)\n", lt,
                (lt - l) / l);
    std::printf("  open the layer of %d lines     %8.3f s   %.3fx the load\n", lines, e, e / l);
    return 0;
}
