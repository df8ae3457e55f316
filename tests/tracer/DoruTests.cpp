// The doru program as the front end runs it: command line, DXF output and every failure path.
#include "BmpTestWriter.h"
#include "DoruExitCodes.h"
#include "DxfWriter.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "TraceOutput.h"
#include "TracerTestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

class Doru : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = Folder.Path();
        // A 40 x 30 picture with one square whose top-left corner is at (5, 4), image rows down.
        const TMonoBitmap img = MakeImage(40, 30, [](double x, double y) { return x > 5 && x < 15 && y > 4 && y < 14; });
        const std::vector<uint8_t> bmp = EncodeBmp(img, {1, 40, false, false, 0, false});
        std::ofstream(Dir / "csq.bmp", std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    }

    // Runs doru with the arguments; answers its exit code and keeps stderr in Err.
    int Run(const std::string& args)
    {
        const std::string cmd = std::string("'") + DORU_PATH + "' " + args + " 2>'" + (Dir / "err.txt").string() + "'";
        const int status = std::system(cmd.c_str());
        Err = FileText(Dir / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Out() const { return (Dir / "csq.tmp").string(); }
    std::string In() const { return (Dir / "csq.bmp").string(); }

    TTempFolder Folder;
    fs::path Dir;
    std::string Err;
};

} // namespace

TEST_F(Doru, TracesTheFrontEndsCommandLine)
{
    ASSERT_EQ(Run("-et 0.1 -fi 1 -ct 90 -outfile '" + Out() + "' '" + In() + "'"), DoruExitOk) << Err;
    EXPECT_EQ(Err, "");
    const std::vector<TDxfPolyline> polys = ParseDxf(FileText(Out()));
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].Flags & 1, 1);
    // Y grows upwards from the lower-left corner: the square covers columns 5..14 and rows
    // 4..13 from the top of 30 rows, so its edges lie on x = 5, x = 15, y = 16 and y = 26.
    ASSERT_EQ(polys[0].Points.size(), 4u);
    for (const TVector2D& p : polys[0].Points) {
        EXPECT_TRUE(p.X == 5 || p.X == 15) << p.X;
        EXPECT_TRUE(p.Y == 16 || p.Y == 26) << p.Y;
    }
    // Options in another order, with centre lines.
    ASSERT_EQ(Run("'" + In() + "' -cline -outfile '" + Out() + "' -ct 60 -fi 0 -et 2"), DoruExitOk) << Err;
    EXPECT_FALSE(ParseDxf(FileText(Out())).empty());
}

TEST_F(Doru, FailsWithOneLineAndNoOutput)
{
    fs::create_directories(Dir / "folder");
    std::vector<uint8_t> rle = EncodeBmp(TMonoBitmap(8, 8), {8, 40, false, false, 1, false});
    std::ofstream(Dir / "rle.bmp", std::ios::binary).write(reinterpret_cast<const char*>(rle.data()), std::streamsize(rle.size()));
    struct TCase {
        const char* Name;
        std::string Args, Output;
        int Code;
        std::string Message;  // start of the one line on stderr
    };
    const std::string in = "'" + In() + "'";
    const std::vector<TCase> cases = {
        {"unknown option", "-et 0.1 -zz -outfile '" + Out() + "' " + in, Out(), DoruExitBadOption, "doru: unknown option -zz"},
        {"missing value", in + " -outfile '" + Out() + "' -et", Out(), DoruExitBadOption, "doru: option -et needs a value"},
        {"comma number", "-et 0,1 -outfile '" + Out() + "' " + in, Out(), DoruExitBadOption,
         "doru: option -et needs a number, not '0,1'"},
        {"no outfile", in, Out(), DoruExitBadOption, "doru: missing -outfile"},
        {"missing input", "-outfile '" + Out() + "' '" + (Dir / "none.bmp").string() + "'", Out(),
         DoruExitInputUnreadable, "doru: cannot read " + (Dir / "none.bmp").string() + ": No such file or directory"},
        {"input is a folder", "-outfile '" + Out() + "' '" + (Dir / "folder").string() + "'", Out(),
         DoruExitInputUnreadable, "doru: cannot read " + (Dir / "folder").string() + ": Is a directory"},
        {"RLE input", "-outfile '" + Out() + "' '" + (Dir / "rle.bmp").string() + "'", Out(), DoruExitInputUnsupported,
         "doru: " + (Dir / "rle.bmp").string() + ": unsupported BMP file: RLE compression"},
        {"output folder missing", "-outfile '" + (Dir / "no/csq.tmp").string() + "' " + in, (Dir / "no/csq.tmp").string(),
         DoruExitOutputFailed, "doru: cannot write " + (Dir / "no/csq.tmp").string() + ": No such file or directory"},
        {"output is a folder", "-outfile '" + (Dir / "folder").string() + "' " + in, "", DoruExitOutputFailed,
         "doru: cannot write " + (Dir / "folder").string() + ": Is a directory"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Run(c.Args), c.Code);
        EXPECT_EQ(Err.substr(0, c.Message.size()), c.Message);
        EXPECT_EQ(std::count(Err.begin(), Err.end(), '\n'), 1);
        if (!c.Output.empty()) {
            EXPECT_FALSE(fs::exists(c.Output));
        }
        // No temporary file is left behind either.
        for (const auto& entry : fs::directory_iterator(Dir))
            EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos) << entry.path();
    }
}

TEST(DxfWriter, SplitsLongOutlinesAndKeepsThemJoined)
{
    // A closed outline of 70000 points needs two open pieces that meet end to end.
    TTraceResult r;
    std::vector<TVector2D> ring;
    for (int i = 0; i < 70000; ++i) {
        const double a = 2 * std::numbers::pi * i / 70000;
        ring.push_back({1000 + 900 * std::cos(a), 1000 + 900 * std::sin(a)});
    }
    EmitPolyline(r, ring, true, 2000);
    ASSERT_EQ(r.Polylines.size(), 2u);
    std::ostringstream out;
    WriteDxf(out, r);
    const std::vector<TDxfPolyline> polys = ParseDxf(out.str());
    ASSERT_EQ(polys.size(), 2u);
    size_t total = 0;
    for (const TDxfPolyline& p : polys) {
        EXPECT_LE(p.Points.size(), MaxPolylinePoints);
        EXPECT_EQ(p.Flags & 1, 0);
        total += p.Points.size();
    }
    EXPECT_EQ(total, 70000u + 2u);  // the joint and the closing point appear twice
    EXPECT_NEAR(polys[0].Points.back().X, polys[1].Points.front().X, 1e-4);
    EXPECT_NEAR(polys[1].Points.back().X, polys[0].Points.front().X, 1e-4);
}

TEST(DxfWriter, WritesADotAsAPoint)
{
    TTraceResult r;
    EmitPoint(r, {12.5, 3.25}, 10);
    std::ostringstream out;
    WriteDxf(out, r);
    EXPECT_NE(out.str().find("0\nPOINT\n8\n0\n10\n12.5\n20\n6.75\n30\n0\n"), std::string::npos) << out.str();
    const std::vector<TDxfPolyline> read = ParseDxf(out.str());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].Points.size(), 1u);
}

TEST(DxfWriter, WritesNumbersAsTheStandardLibraryRoundsThem)
{
    // Four decimals, trailing zeros and a bare point dropped, no negative zero; the digits
    // those of std::to_chars, ties and numbers far outside a picture included.
    const double cases[] = {
        0,           -0.0,        12.5, -12.5,   0.00004, -0.00004,           0.00005, 0.00015,
        1.23445,     -1.23455,    2.5,  1e-9,    123.1,   4095.99995,         -0.4,    99999.99999,
        1234567.891, -98765432.1, 1e12, -3.4e15, 7e20,    0.30000000000000004};
    for (const double v : cases) {
        SCOPED_TRACE(v);
        TTraceResult r;
        r.Polylines.push_back({{{v, 0}}, false});
        std::ostringstream out;
        WriteDxf(out, r);
        char buf[400];
        char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4).ptr;
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.')
            --end;
        std::string expected(buf, end);
        if (expected == "-0")
            expected = "0";
        EXPECT_NE(out.str().find("0\nPOINT\n8\n0\n10\n" + expected + "\n20\n0\n"), std::string::npos)
            << out.str();
    }
}
