// The SVG import drawn back at the file's scale against rsvg-convert's rendering of the same file.
// Both draw outlines only: rsvg-convert through a style sheet that strokes every shape black and
// fills none, the imported drawing as lines of about the same width. A pixel of ink in one
// picture counts as an error when the other has none within the row's radius; the error is the
// share of such pixels among all the ink. The pictures are kept in the build folder.
#include "SvgParser.h"
#include "SvgPathRenderer.h"
#include "UnitSVG.h"

#include "QVCmp.h"
#include "QVEntity.h"
#include "TempFolder.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct TFixture {
    const char* File;  // in tests/data/svg
    int Width, Height; // of the viewBox, in user units
    double Scale;      // pixels per user unit
    // The stroke in the file's user units of rsvg-convert's outlines, chosen so that they are
    // one or two pixels wide where the file's transforms leave them.
    double Stroke;
    int Radius; // pixels an outline may lie away from the other's
    double MaxError;
};

const std::vector<TFixture>& Fixtures()
{
    static const std::vector<TFixture> fixtures = {
        {"shapes.svg", 200, 160, 2, 0.75, 2, 0.01},       {"paths.svg", 200, 200, 2, 0.75, 2, 0.01},
        {"arcs.svg", 200, 200, 2, 0.75, 2, 0.01},         {"transforms.svg", 240, 240, 2, 0.6, 3, 0.01},
        {"drawing-program.svg", 80, 60, 5, 0.3, 2, 0.01}, {"css-classes.svg", 200, 150, 2, 0.75, 2, 0.01},
        {"tracer.svg", 160, 120, 3, 5, 2, 0.01},          {"definitions.svg", 160, 120, 2, 0.75, 2, 0.01},
    };
    return fixtures;
}

// Ink: darker than mid grey.
std::vector<uint8_t> Ink(const QImage& Image)
{
    std::vector<uint8_t> ink(size_t(Image.width()) * Image.height());
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            ink[size_t(y) * Image.width() + x] = qGray(Image.pixel(x, y)) < 160;
    return ink;
}

// Ink pixels of A with no ink of B within Radius (a square around them).
size_t Unmatched(const std::vector<uint8_t>& A, const std::vector<uint8_t>& B, int W, int H, int Radius)
{
    size_t n = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (!A[size_t(y) * W + x])
                continue;
            bool found = false;
            for (int dy = -Radius; dy <= Radius && !found; ++dy)
                for (int dx = -Radius; dx <= Radius && !found; ++dx) {
                    const int u = x + dx, v = y + dy;
                    found = u >= 0 && v >= 0 && u < W && v < H && B[size_t(v) * W + u];
                }
            n += !found;
        }
    return n;
}

// The imported drawing on white: every object's outline, the drawing's Y turned down again.
QImage DrawBack(TQV_01Cmp2D& Drawing, int W, int H, double Scale)
{
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    auto it = Drawing.ObjectsIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next()) {
        auto* outline = dynamic_cast<TOutline2D*>(o);
        if (!outline)
            continue;
        const TProfileUse use(*outline);
        QPolygonF line;
        for (const TPoint2D& p : outline->GetProfilePoints()->Points())
            line << QPointF(p.X / p.W * Scale, -p.Y / p.W * Scale);
        painter.drawPolyline(line);
    }
    return image;
}

} // namespace

TEST(SvgFidelity, ImportDrawnBackMatchesTheReferenceRenderer)
{
    const TTempFolder folder;
    const std::string outFolder = QDir::currentPath().toStdString();
    for (const TFixture& f : Fixtures()) {
        SCOPED_TRACE(f.File);
        const std::string file = std::string(RASTREL_TEST_DATA) + "/svg/" + f.File;
        const int w = int(f.Width * f.Scale), h = int(f.Height * f.Scale);

        const std::string css = folder.Path() + "/outline.css";
        std::ofstream(css) << "* { fill: none !important; stroke: #000 !important; stroke-width: " << f.Stroke
                           << "px !important; stroke-opacity: 1 !important; opacity: 1 !important;"
                              " stroke-dasharray: none !important; }\n";
        const std::string reference = folder.Path() + "/reference.png";
        QProcess rsvg;
        rsvg.start("rsvg-convert",
                   {"-s", QString::fromStdString(css), "-w", QString::number(w), "-h", QString::number(h),
                    "-b", "white", "-o", QString::fromStdString(reference), QString::fromStdString(file)});
        ASSERT_TRUE(rsvg.waitForFinished(60000)) << "rsvg-convert (librsvg2-bin) did not run";
        ASSERT_EQ(rsvg.exitCode(), 0) << rsvg.readAllStandardError().toStdString();
        const QImage theirs = QImage(QString::fromStdString(reference)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(theirs.width(), w);
        ASSERT_EQ(theirs.height(), h);

        TQV_01Cmp2D drawing;
        ImportSvg(drawing, file);
        const QImage ours = DrawBack(drawing, w, h, f.Scale);

        const std::string stem = outFolder + "/svg-fidelity-" + std::string(f.File, std::strlen(f.File) - 4);
        theirs.save(QString::fromStdString(stem + "-reference.png"));
        ours.save(QString::fromStdString(stem + "-import.png"));

        const std::vector<uint8_t> a = Ink(theirs), b = Ink(ours);
        const size_t ink = size_t(std::count(a.begin(), a.end(), 1) + std::count(b.begin(), b.end(), 1));
        ASSERT_GT(ink, 0u);
        const size_t missing = Unmatched(a, b, w, h, f.Radius), extra = Unmatched(b, a, w, h, f.Radius);
        const double error = double(missing + extra) / double(ink);
        std::printf("%s: %zu objects, %zu ink pixels, %zu missing, %zu extra, error %.4f\n", f.File,
                    size_t(drawing.ObjectsCount()), ink, missing, extra, error);
        EXPECT_LE(error, f.MaxError);
    }
}
