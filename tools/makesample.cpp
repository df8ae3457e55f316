// Draws the sample picture that scripts/run opens: a small line-art sheet as a scan would give
// it (grey paper with a little noise, dark strokes with soft edges, a few specks), written as a
// 24-bit BMP. Usage: makesample OUT.bmp
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int W = 900, H = 640;

struct TSheet {
    std::vector<float> Ink = std::vector<float>(size_t(W) * H, 0.0F);

    // Coverage of a stroke of the given width at distance D from its centre line.
    void Mark(int X, int Y, double D, double Width)
    {
        const double c = std::clamp(Width / 2 + 0.5 - D, 0.0, 1.0);
        float& v = Ink[size_t(Y) * W + X];
        v = std::max(v, float(c));
    }
    void Segment(double X0, double Y0, double X1, double Y1, double Width)
    {
        const int x0 = std::max(0, int(std::min(X0, X1) - Width)),
                  x1 = std::min(W - 1, int(std::max(X0, X1) + Width));
        const int y0 = std::max(0, int(std::min(Y0, Y1) - Width)),
                  y1 = std::min(H - 1, int(std::max(Y0, Y1) + Width));
        const double dx = X1 - X0, dy = Y1 - Y0, len2 = dx * dx + dy * dy;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5 - X0, py = y + 0.5 - Y0;
                const double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0;
                Mark(x, y, std::hypot(px - t * dx, py - t * dy), Width);
            }
    }
    void Arc(double Cx, double Cy, double R, double A0, double A1, double Width)
    {
        const int n = std::max(8, int(R * std::abs(A1 - A0) / 4));
        for (int i = 0; i < n; ++i) {
            const double a = A0 + (A1 - A0) * i / n, b = A0 + (A1 - A0) * (i + 1) / n;
            Segment(Cx + R * std::cos(a), Cy + R * std::sin(a), Cx + R * std::cos(b), Cy + R * std::sin(b),
                    Width);
        }
    }
    void Disc(double Cx, double Cy, double R)
    {
        for (int y = std::max(0, int(Cy - R - 1)); y <= std::min(H - 1, int(Cy + R + 1)); ++y)
            for (int x = std::max(0, int(Cx - R - 1)); x <= std::min(W - 1, int(Cx + R + 1)); ++x)
                Mark(x, y, std::max(0.0, std::hypot(x + 0.5 - Cx, y + 0.5 - Cy) - R + 1), 2);
    }
};

void Put(std::vector<uint8_t>& B, uint32_t V, int Bytes)
{
    for (int i = 0; i < Bytes; ++i)
        B.push_back(uint8_t(V >> (8 * i)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: makesample OUT.bmp\n");
        return 2;
    }
    const double pi = std::numbers::pi;
    TSheet s;
    // A flange: outline with rounded corners, holes and a centre bore.
    s.Segment(120, 80, 480, 80, 5);
    s.Segment(120, 400, 480, 400, 5);
    s.Segment(80, 120, 80, 360, 5);
    s.Segment(520, 120, 520, 360, 5);
    s.Arc(120, 120, 40, pi, 1.5 * pi, 5);
    s.Arc(480, 120, 40, 1.5 * pi, 2 * pi, 5);
    s.Arc(480, 360, 40, 0, 0.5 * pi, 5);
    s.Arc(120, 360, 40, 0.5 * pi, pi, 5);
    s.Arc(300, 240, 90, 0, 2 * pi, 5);
    for (const auto& [x, y] : {std::pair{150.0, 150.0}, {450.0, 150.0}, {450.0, 330.0}, {150.0, 330.0}})
        s.Arc(x, y, 22, 0, 2 * pi, 4);
    // Centre lines, thin.
    s.Segment(190, 240, 410, 240, 1.5);
    s.Segment(300, 130, 300, 350, 1.5);
    // A bracket of straight strokes and a solid triangle of discs.
    s.Segment(600, 80, 820, 80, 7);
    s.Segment(820, 80, 820, 300, 7);
    s.Segment(600, 80, 600, 160, 7);
    s.Segment(600, 160, 740, 160, 7);
    s.Segment(740, 160, 740, 300, 7);
    s.Segment(740, 300, 820, 300, 7);
    for (int i = 0; i < 5; ++i)
        s.Disc(620 + 45 * i, 380, 14);
    // A wavy line and a spiral.
    for (double x = 60; x < 840; x += 4)
        s.Segment(x, 520 + 30 * std::sin(x / 60), x + 4, 520 + 30 * std::sin((x + 4) / 60), 3);
    for (double a = 0; a < 5 * pi; a += 0.1)
        s.Segment(700 + 3 * a * std::cos(a), 430 + 3 * a * std::sin(a),
                  700 + 3 * (a + 0.1) * std::cos(a + 0.1), 430 + 3 * (a + 0.1) * std::sin(a + 0.1), 2);

    std::mt19937 random(1);
    // Specks of dust and small holes in the ink.
    for (int i = 0; i < 60; ++i) {
        const int x = int(random() % W), y = int(random() % H);
        s.Ink[size_t(y) * W + x] = s.Ink[size_t(y) * W + x] > 0.5F ? 0.0F : 1.0F;
    }

    const uint32_t stride = (3 * W + 3) / 4 * 4;
    std::vector<uint8_t> out;
    Put(out, 0x4D42, 2);
    Put(out, 54 + stride * H, 4);
    Put(out, 0, 4);
    Put(out, 54, 4);
    Put(out, 40, 4);
    Put(out, W, 4);
    Put(out, H, 4);
    Put(out, 1, 2);
    Put(out, 24, 2);
    Put(out, 0, 4);
    Put(out, stride * H, 4);
    Put(out, 5906, 4); // 150 dpi
    Put(out, 5906, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    for (int y = H - 1; y >= 0; --y) {
        for (int x = 0; x < W; ++x) {
            const double ink = s.Ink[size_t(y) * W + x];
            const double paper = 232 + int(random() % 9) - 4;
            const int grey = int(paper + (38 - paper) * ink);
            out.push_back(uint8_t(grey - 6)); // blue
            out.push_back(uint8_t(grey));
            out.push_back(uint8_t(grey + 4)); // a warm paper
        }
        out.resize(out.size() + stride - 3 * W, 0);
    }
    std::ofstream file(argv[1], std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    return file ? 0 : 1;
}
