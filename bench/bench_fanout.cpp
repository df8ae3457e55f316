// Files of a few kilobytes whose block definitions each hold ten references to the one before
// ("fan-out"), 5, 6 and 7 levels deep under one reference, read as a drawing file and as a DXF
// file into a drawing shown in a view, beside a drawing file of plain lines of the same size.
// Each read runs in a new process, bounded in time and memory; the figures are its wall time
// and its peak resident memory, and their ratios to the plain file's.
#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVDXFImport.h"
#include "QVEntity.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVVariabili.h"
#include "SceneViewer.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int FanOut = 10;
constexpr int TimeLimitSeconds = 120;
constexpr rlim_t MemoryLimit = rlim_t(3) << 30;

std::string PathOf(const std::string& Name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/rastrel-bench-fanout-" + std::to_string(getpid()) +
           Name;
}

std::unique_ptr<TLine2D> Line(double X)
{
    return std::make_unique<TLine2D>(-1, TPoint2D{X, 0, 1}, TPoint2D{X, 1, 1});
}

std::string BlockName(int Level)
{
    std::string name = std::to_string(Level);
    name.insert(name.begin(), 'L');
    return name;
}

// Level 0 holds a line; each level above holds FanOut references to the one below; the drawing
// holds one reference to the top.
void WriteFanOutDrawing(const std::string& Name, int Levels)
{
    TStreamWriter w;
    w.WriteChars(CurrentVersionTag);
    w.WriteInt16(1);
    w.WriteInt16(256);
    w.WriteByte(2);
    w.WriteInt32(Levels + 1);
    for (int level = 0; level <= Levels; ++level) {
        TSourceBlock2D def(-1, StrToBlockName(BlockName(level)), {});
        for (int i = 0; i < (level == 0 ? 1 : FanOut); ++i) {
            if (level == 0) {
                def.Objects.Add(Line(0));
                continue;
            }
            auto ref = std::make_unique<TBlock2D>(-1, StrToBlockName(BlockName(level - 1)));
            ref->SetBaseTransform(TMatrix4::CreateTranslation(2.0 * i, 0, 0));
            def.Objects.Add(std::move(ref));
        }
        SaveIndexedObject(w, def);
    }
    w.WriteByte(3);
    w.WriteInt32(1);
    TBlock2D top(-1, StrToBlockName(BlockName(Levels)));
    SaveIndexedObject(w, top);
    w.WriteByte(4);
    std::ofstream(Name, std::ios::binary)
        .write(reinterpret_cast<const char*>(w.Bytes().data()),
               static_cast<std::streamsize>(w.Bytes().size()));
}

void WriteFanOutDxf(const std::string& Name, int Levels)
{
    std::ofstream f(Name, std::ios::binary);
    f << "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nL0\n10\n0\n20\n0\n0\nLINE\n10\n0\n20\n0\n11\n0\n21\n1\n0\nENDBL"
         "K\n";
    for (int level = 1; level <= Levels; ++level) {
        f << "0\nBLOCK\n2\n" << BlockName(level) << "\n10\n0\n20\n0\n";
        for (int i = 0; i < FanOut; ++i)
            f << "0\nINSERT\n2\n" << BlockName(level - 1) << "\n10\n" << 2 * i << "\n20\n0\n";
        f << "0\nENDBLK\n";
    }
    f << "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nINSERT\n2\n"
      << BlockName(Levels) << "\n10\n0\n20\n0\n0\nENDSEC\n0\nEOF\n";
}

// Plain lines until the drawing file is Bytes long.
void WritePlainDrawing(const std::string& Name, size_t Bytes)
{
    TQV_01Cmp2D d;
    for (int i = 0;; ++i) {
        TStreamWriter w;
        d.SaveToStream(w);
        if (w.Bytes().size() >= Bytes) {
            std::ofstream(Name, std::ios::binary)
                .write(reinterpret_cast<const char*>(w.Bytes().data()),
                       static_cast<std::streamsize>(w.Bytes().size()));
            return;
        }
        d.AddObject(-1, Line(i));
    }
}

long FileSize(const std::string& Name)
{
    std::ifstream f(Name, std::ios::binary | std::ios::ate);
    return static_cast<long>(f.tellg());
}

// Message boxes answered OK, nothing shown.
class TQuietWindow final : public TMainWindowServices {
public:
    void SetStatusMessage(const std::string&) override {}
    bool GetPlacement(TWindowPlacement&) const override { return false; }
    TMsgResult MessageBox(const std::string&, const std::string&, TMsgIcon, TMsgButtons) override
    {
        return TMsgResult::Ok;
    }
};

struct TRun {
    double Seconds = 0;
    double PeakMB = 0;
    bool Finished = false; // false: stopped by the time or memory bound
    std::string Outcome;
};

// Reads the file into a drawing shown in a view, in a new process; the outcome is the number of
// objects built, or the message that refused the file.
TRun ReadInFreshProcess(const std::string& Name, bool Dxf)
{
    int fds[2];
    if (::pipe(fds) != 0)
        std::abort();
    std::fflush(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const rlimit as{MemoryLimit, MemoryLimit};
        ::setrlimit(RLIMIT_AS, &as);
        ::alarm(TimeLimitSeconds);
        TQuietWindow window;
        SetMainWindowServices(&window);
        std::string outcome;
        {
            // The drawing is not freed: only the read is measured.
            TQV_01Cmp2D& d = *new TQV_01Cmp2D;
            TRecordingViewer viewer(1024, 768);
            TQVScene& view = *new TQVScene;
            DrawingView = &view;
            view.AttachViewer(&viewer);
            view.AttachDrawing(&d);
            try {
                if (Dxf) {
                    TDXF2DImport import(Name, &d);
                    import.ShowReport = false;
                    import.Import();
                    const std::string report = import.ReportText();
                    if (!report.empty()) {
                        outcome = "warned: ";
                        outcome.append(report, report.find('\n') + 1);
                    }
                } else {
                    d.LoadFromFile(Name, false);
                }
                if (outcome.empty())
                    outcome = "loaded";
            } catch (const std::exception& e) {
                outcome = std::string("refused: ") + e.what();
            }
            outcome += ", " + std::to_string(d.ObjectsCount()) + " objects";
        }
        std::replace(outcome.begin(), outcome.end(), '\n', ' ');
        outcome.resize(std::min<size_t>(outcome.size(), 255));
        const bool sent = ::write(fds[1], outcome.c_str(), outcome.size() + 1) > 0;
        std::fflush(nullptr);
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    char text[256] = {};
    const ssize_t got = ::read(fds[0], text, sizeof text - 1);
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    TRun r;
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.PeakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    r.Finished = got > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.Outcome = r.Finished ? text
                : WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM
                    ? "stopped after " + std::to_string(TimeLimitSeconds) + " s"
                    : "stopped: out of the " + std::to_string(MemoryLimit >> 30) + " GB bound";
    return r;
}

} // namespace

int main()
{
    RegisterDrawingClasses();
    std::printf("fan-out of %d per level under one reference; each read in a new process, at most %d s and "
                "%llu GB\n",
                FanOut, TimeLimitSeconds, static_cast<unsigned long long>(MemoryLimit >> 30));
    for (int levels : {5, 6, 7}) {
        const std::string pnc = PathOf(".pnc"), dxf = PathOf(".dxf"), plain = PathOf("-plain.pnc");
        WriteFanOutDrawing(pnc, levels);
        WriteFanOutDxf(dxf, levels);
        WritePlainDrawing(plain, static_cast<size_t>(FileSize(pnc)));
        const TRun base = ReadInFreshProcess(plain, false);
        std::printf("%d levels: plain drawing file of %ld bytes: %.3f s, %.0f MB (%s)\n", levels,
                    FileSize(plain), base.Seconds, base.PeakMB, base.Outcome.c_str());
        for (const auto& [what, name, isDxf] :
             {std::tuple{"drawing file", pnc, false}, std::tuple{"DXF file", dxf, true}}) {
            const TRun r = ReadInFreshProcess(name, isDxf);
            std::printf("  %-12s %6ld bytes: %8.3f s (%6.1fx plain), %6.0f MB (%5.1fx plain): %s\n", what,
                        FileSize(name), r.Seconds, r.Seconds / base.Seconds, r.PeakMB, r.PeakMB / base.PeakMB,
                        r.Outcome.c_str());
        }
        std::remove(pnc.c_str());
        std::remove(dxf.c_str());
        std::remove(plain.c_str());
    }
    return 0;
}
