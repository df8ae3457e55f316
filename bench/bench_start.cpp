// The program's start: from process start to the first painted frame of the main window, beside a
// bare Qt program that shows one empty QOpenGLWidget, run alternately in the same session; and
// from process start to a drawing of 100,000 objects shown, beside the plain load of that file
// in a program without windows. Each figure is the median of several fresh processes.
// Run it on a display: bench/start.sh (xvfb-run).
#include "QVCmp.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneWidget.h"
#include "ShellProgram.h"
#include "TracedDrawing.h"
#include "UnitMain.h"

#include <QApplication>
#include <QOpenGLWidget>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {
constexpr int Runs = 7;

int64_t MonotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The child tells the moment of its event and ends at once: its teardown is not measured.
[[noreturn]] void Report()
{
    std::printf("%lld\n", static_cast<long long>(MonotonicNs()));
    std::fflush(stdout);
    std::_Exit(0);
}

int Bare(int argc, char** argv)
{
    QApplication app(argc, argv);
    QOpenGLWidget view;
    view.resize(1000, 700);
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, [] { Report(); });
    view.show();
    return app.exec();
}

int Program(int argc, char** argv, const std::string& File)
{
    QApplication app(argc, argv);
    TShellProgram program(File);
    TSceneWidget* viewer = program.Main().Viewer();
    // The first frame, or with a file the first frame that shows its objects.
    QObject::connect(viewer, &QOpenGLWidget::frameSwapped, [&File] {
        if (File.empty() || (::Drawing && ::Drawing->ObjectsCount() > 0))
            Report();
    });
    program.Main().show();
    return app.exec();
}

int PlainLoad(const std::string& File)
{
    RegisterDrawingClasses();
    TQV_01Cmp2D d;
    d.LoadFromFile(File, false);
    Report();
}

// Seconds from the start of a child process in Mode to the moment it reports.
double Measure(const char* Self, const char* Mode, const std::string& File)
{
    int fd[2];
    if (pipe(fd) != 0)
        std::abort();
    const int64_t t0 = MonotonicNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fd[1], 1);
        close(fd[0]);
        execl(Self, Self, Mode, File.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    close(fd[1]);
    char buf[64] = {};
    const ssize_t n = read(fd[0], buf, sizeof buf - 1);
    close(fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (n <= 0) {
        std::fprintf(stderr, "bench_start: %s reported nothing\n", Mode);
        std::exit(1);
    }
    return double(std::atoll(buf) - t0) / 1e9;
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string file = argc > 2 ? argv[2] : "";
    if (mode == "--bare")
        return Bare(argc, argv);
    if (mode == "--program")
        return Program(argc, argv, file);
    if (mode == "--load")
        return PlainLoad(file);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("bench_start: needs a display; run bench/start.sh\n");
        return 0;
    }
    // The program's settings of its own, and the drawing to open.
    char folder[] = "/tmp/rastrel-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    setenv("RASTREL_DATA_DIR", folder, 1);
    const std::string drawing = std::string(folder) + "/objects.pnc";
    {
        RegisterDrawingClasses();
        TQV_01Cmp2D d;
        FillTracedDrawing(d, 90000, 10000);
        d.SaveToFile(drawing);
    }
    const char* self = "/proc/self/exe";
    std::vector<double> bare, program, bigBare, shown, load;
    for (int i = 0; i < Runs; ++i) {
        bare.push_back(Measure(self, "--bare", ""));
        program.push_back(Measure(self, "--program", ""));
        load.push_back(Measure(self, "--load", drawing));
        shown.push_back(Measure(self, "--program", drawing));
    }
    const double b = Median(bare), p = Median(program), l = Median(load), s = Median(shown);
    std::printf("start to first frame      bare QOpenGLWidget %8.3f s   main window %8.3f s   ratio %.2f "
                "(goal 1.5)\n",
                b, p, p / b);
    std::printf("100,000 objects           plain load         %8.3f s   shown       %8.3f s   ratio %.2f\n",
                l, s, s / l);
    std::remove(drawing.c_str());
    std::remove((std::string(folder) + "/rastrel.ini").c_str());
    rmdir(folder);
    return 0;
}
