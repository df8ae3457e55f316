// makecursors SOURCE.txt OUT.png: draws one of the view's cursors from its description.
//
// The description has one shape a line, in the pixels of a 32 x 32 image (origin top-left):
//   hotspot X Y                   the pixel the cursor points with
//   line X1 Y1 X2 Y2
//   polyline X1 Y1 X2 Y2 ...      open; repeat the first point to close it
//   rect X Y W H                  outline
//   circle X Y R                  outline
//   disc X Y R                    filled
//   fill X1 Y1 X2 Y2 X3 Y3 ...    a filled polygon
// Text after '#' is a comment. Every shape is drawn twice, first wide in white and then thin in
// black, so the cursor shows on a light drawing and on a dark one.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int Size = 32;

struct TShape {
    std::string Kind;
    std::vector<double> V;
};

bool Read(const char* Path, std::vector<TShape>& Shapes, int& HotX, int& HotY)
{
    std::ifstream in(Path);
    if (!in)
        return false;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        TShape s;
        if (!(words >> s.Kind))
            continue;
        for (double v; words >> v;)
            s.V.push_back(v);
        const size_t n = s.V.size();
        const bool ok = (s.Kind == "hotspot" && n == 2) || (s.Kind == "line" && n == 4) ||
                        (s.Kind == "rect" && n == 4) ||
                        ((s.Kind == "circle" || s.Kind == "disc") && n == 3) ||
                        ((s.Kind == "polyline" || s.Kind == "fill") && n >= 4 && n % 2 == 0);
        if (!ok) {
            std::fprintf(stderr, "%s:%d: cannot read \"%s\"\n", Path, number, line.c_str());
            return false;
        }
        if (s.Kind == "hotspot") {
            HotX = int(s.V[0]);
            HotY = int(s.V[1]);
        } else {
            Shapes.push_back(s);
        }
    }
    return true;
}

QPolygonF Points(const std::vector<double>& V)
{
    QPolygonF p;
    for (size_t i = 0; i + 1 < V.size(); i += 2)
        p << QPointF(V[i] + 0.5, V[i + 1] + 0.5);
    return p;
}

void Draw(QPainter& P, const TShape& S, const QColor& Colour, double Width)
{
    P.setPen(QPen(Colour, Width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    P.setBrush(Qt::NoBrush);
    const std::vector<double>& v = S.V;
    if (S.Kind == "line") {
        P.drawLine(QPointF(v[0] + 0.5, v[1] + 0.5), QPointF(v[2] + 0.5, v[3] + 0.5));
    } else if (S.Kind == "polyline") {
        P.drawPolyline(Points(v));
    } else if (S.Kind == "rect") {
        P.drawRect(QRectF(v[0] + 0.5, v[1] + 0.5, v[2], v[3]));
    } else if (S.Kind == "circle") {
        P.drawEllipse(QPointF(v[0] + 0.5, v[1] + 0.5), v[2], v[2]);
    } else {
        P.setBrush(Colour);
        if (S.Kind == "disc")
            P.drawEllipse(QPointF(v[0] + 0.5, v[1] + 0.5), v[2], v[2]);
        else
            P.drawPolygon(Points(v));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makecursors SOURCE.txt OUT.png\n");
        return 2;
    }
    std::vector<TShape> shapes;
    int hotX = Size / 2, hotY = Size / 2;
    if (!Read(argv[1], shapes, hotX, hotY)) {
        std::fprintf(stderr, "makecursors: cannot read %s\n", argv[1]);
        return 1;
    }
    QImage image(Size, Size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        for (const TShape& s : shapes)
            Draw(p, s, Qt::white, 3);
        for (const TShape& s : shapes)
            Draw(p, s, Qt::black, 1);
    }
    image.setText("HotSpotX", QString::number(hotX));
    image.setText("HotSpotY", QString::number(hotY));
    if (!image.save(argv[2], "PNG")) {
        std::fprintf(stderr, "makecursors: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
