#pragma once
// What the tracing front end's tests and benchmark share: the tracer run as a plain child
// process, fake tracer scripts, and a picture opened into a drawing with its private temporary
// folder (whose name holds a blank, as a user's may).
#include "Bitmap32.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVObject2D.h"
#include "QVRegistry.h"
#include "TempFolder.h"
#include "TracerRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

// Runs the program as a child process and waits for it; remembers what it was given.
class TSpawnRunner : public TTracerRunner {
public:
    TTracerRun Run(const std::string& Program, const std::vector<std::string>& Arguments) override
    {
        ProgramSeen = Program;
        ArgumentsSeen = Arguments;
        std::vector<char*> argv{const_cast<char*>(Program.c_str())};
        for (const std::string& a : Arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        TTracerRun run;
        pid_t pid = 0;
        if (posix_spawn(&pid, Program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            run.End = TTracerRun::TEnd::NotStarted;
            return run;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status))
            run.ExitCode = WEXITSTATUS(status);
        else
            run.End = TTracerRun::TEnd::Crashed;
        return run;
    }
    std::string ProgramSeen;
    std::vector<std::string> ArgumentsSeen;
};

// A picture of W x H pixels in a drawing, shown between Corner and Corner + (W, H) x Scale.
struct TTracedPicture {
    TTracedPicture(int W, int H, const std::function<uint32_t(int X, int Y)>& Colour,
                   TPoint2D Corner = {0, 0, 1}, double Scale = 1)
    {
        Folder = Temp.Path() + "/scan folder/";
        std::filesystem::create_directory(Folder);
        Source.SetSize(W, H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                Source.SetPixel(x, y, Colour(x, y));
        // The image shares the picture, as an opened one does.
        Image = Drawing.AddObject(
            -1, std::make_unique<TBitmap2D>(
                    -1, Corner, TPoint2D{Corner.X + W * Scale, Corner.Y + H * Scale, 1}, Picture));
    }

    // A shell script as the tracer; "$out" holds the path after -outfile.
    std::string Script(const std::string& Body)
    {
        const std::string name = Temp.Path() + "/fake-tracer-" + std::to_string(++Scripts);
        std::ofstream(name)
            << "#!/bin/sh\nwhile [ $# -gt 1 ]; do [ \"$1\" = -outfile ] && out=\"$2\"; shift; done\n"
            << Body << "\n";
        chmod(name.c_str(), 0755);
        return name;
    }

    TTempFolder Temp;
    std::string Folder;
    TQV_01Cmp2D Drawing;
    std::shared_ptr<TMemoryBitmap32> Picture = std::make_shared<TMemoryBitmap32>();
    // The untouched picture the tracer reads.
    TMemoryBitmap32& Source = *Picture;
    TBitmap2D* Image = nullptr;
    int Scripts = 0;
};

// Saves the drawing to Path and reads it back: the same number of objects, each box inside Area
// grown by Margin. Answers the class names read.
inline std::vector<std::string> ExpectSavedWithin(TQV_01Cmp2D& Drawing, const std::string& Path,
                                                  const TRect2D& Area, double Margin)
{
    RegisterDrawingClasses();
    Drawing.SaveToFile(Path);
    TQV_01Cmp2D back;
    back.LoadFromFile(Path, false);
    EXPECT_EQ(back.ObjectsCount(), Drawing.ObjectsCount());
    std::vector<std::string> names;
    auto it = back.ObjectsIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next()) {
        names.emplace_back(o->ClassName());
        const TRect2D& box = dynamic_cast<TObject2D&>(*o).Box;
        EXPECT_GE(box.First.X, Area.First.X - Margin) << names.back();
        EXPECT_GE(box.First.Y, Area.First.Y - Margin) << names.back();
        EXPECT_LE(box.Second.X, Area.Second.X + Margin) << names.back();
        EXPECT_LE(box.Second.Y, Area.Second.Y + Margin) << names.back();
    }
    return names;
}
