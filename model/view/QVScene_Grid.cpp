// The view's reference grid in the plane Z = 0.
#include "QVScene.h"

#include "UnitConfig.h"

#include <cmath>

namespace {
double Sign(double V)
{
    return V > 0 ? 1 : (V < 0 ? -1 : 0);
}

double Frac(double V)
{
    return V - std::trunc(V);
}

// The first multiple of Step inside an area starting at Min.
double GridStart(double Min, double Step)
{
    return Min + Sign(Min) * Frac(Min / Step) * Step;
}

// The lines across one direction: a major line at every step from Start up to Max and, when
// Subdiv > 1, the minor lines between. Each line is two nodes, in alternating directions, so the
// pieces of the strip joining them run along the area's edges. Line(pos, from, to) makes a node
// pair of a position across the direction.
void AddLines(double Start, double Step, double Max, int32_t Subdiv, bool Minor, double Lo, double Hi,
              bool Vertical, std::vector<TVector3f>& Major, std::vector<TVector3f>& MinorOut)
{
    auto node = [Vertical](double Pos, double Along) {
        return Vertical ? TVector3f{float(Pos), float(Along), 0} : TVector3f{float(Along), float(Pos), 0};
    };
    auto line = [&node](std::vector<TVector3f>& Strip, double Pos, double A, double B) {
        const bool up = Strip.size() / 2 % 2 == 0;
        Strip.push_back(node(Pos, up ? A : B));
        Strip.push_back(node(Pos, up ? B : A));
    };
    // Positions from the index, not by repeated addition, which drifts and can drop the last line.
    const double slack = Step * 1e-9;
    for (int64_t i = 0;; ++i) {
        const double x = Start + double(i) * Step;
        if (x > Max + slack)
            break;
        line(Major, x, Lo, Hi);
        if (!Minor)
            continue;
        const double m = Step / Subdiv;
        for (int32_t k = 1; k < Subdiv; ++k) {
            const double mx = x + k * m;
            if (mx >= Max)
                break;
            line(MinorOut, mx, Lo, Hi);
        }
    }
}
} // namespace

void TQVScene::InitGrid()
{
    GridGroup = Scene->Root().Add<TSceneGroup>();
    GridGroup->Name = "GridGroup";
    GridLineColor = SceneColorFromTColor(uint32_t(AppConfig ? AppConfig->GridColor : 0x800000), 0.2f);
    GridOrigin = AppConfig ? AppConfig->GridOrigin : 4;
    SetGridSizeX(AppConfig ? AppConfig->GridSizeX : 100);
    SetGridSizeY(AppConfig ? AppConfig->GridSizeY : 100);
    SetGridStepX(AppConfig ? AppConfig->GridX : 10);
    SetGridStepY(AppConfig ? AppConfig->GridY : 10);
}

void TQVScene::SetGridSizeX(double S)
{
    switch (GridOrigin) {
    case 0:
    case 1:
        GridMin.X = 0, GridMax.X = S;
        break;
    case 2:
    case 3:
        GridMin.X = -S, GridMax.X = 0;
        break;
    case 4:
        GridMin.X = -S / 2, GridMax.X = S / 2;
        break;
    default:
        break;
    }
}

void TQVScene::SetGridSizeY(double S)
{
    switch (GridOrigin) {
    case 0:
    case 3:
        GridMin.Y = 0, GridMax.Y = S;
        break;
    case 1:
    case 2:
        GridMin.Y = -S, GridMax.Y = 0;
        break;
    case 4:
        GridMin.Y = -S / 2, GridMax.Y = S / 2;
        break;
    default:
        break;
    }
}

double TQVScene::GetGridSizeX() const
{
    return std::fabs(GridMax.X - GridMin.X);
}

double TQVScene::GetGridSizeY() const
{
    return std::fabs(GridMax.Y - GridMin.Y);
}

void TQVScene::SetGridOrigin(int32_t Mode)
{
    const double w = GetGridSizeX(), h = GetGridSizeY();
    GridOrigin = Mode;
    SetGridSizeX(w);
    SetGridSizeY(h);
}

void TQVScene::SetGridStepX(double S)
{
    if (S == GridStepX)
        return;
    GridStepX = S;
    RebuildGrid();
}

void TQVScene::SetGridStepY(double S)
{
    if (S == GridStepY)
        return;
    GridStepY = S;
    RebuildGrid();
}

void TQVScene::SetGridSubdivX(int32_t N)
{
    if (N == GridSubdivX)
        return;
    GridSubdivX = N;
    RebuildGrid();
}

void TQVScene::SetGridSubdivY(int32_t N)
{
    if (N == GridSubdivY)
        return;
    GridSubdivY = N;
    RebuildGrid();
}

void TQVScene::SetGridVisible(bool V)
{
    if (V == GridVisible)
        return;
    GridVisible = V;
    GridGroup->SetVisible(V);
}

void TQVScene::RebuildGrid()
{
    if (!(GridStepX > 0) || !(GridStepY > 0) || !GridRebuildEnabled)
        return;
    GridGroup->DeleteChildren();
    BuildGrid();
}

bool TQVScene::ConfirmDenseGrid()
{
    float nX = float(GetGridSizeX() / GridStepX), nY = float(GetGridSizeY() / GridStepY);
    if (GridSubdivX > 0)
        nX *= float(GridSubdivX);
    if (GridSubdivY > 0)
        nY *= float(GridSubdivY);
    const double n = double(nX) + double(nY);
    if (!(n <= GridLineCap)) // also a NaN or an infinite count
        return true;
    if (n > 500)
        return AskDenseGrid ? !AskDenseGrid() : false;
    return false;
}

TGridLines TQVScene::GridLines() const
{
    TGridLines r;
    if (!(GridStepX > 0) || !(GridStepY > 0))
        return r;
    const bool minor = GridSubdivX > 0 && GridSubdivY > 0;
    AddLines(GridStart(GridMin.X, GridStepX), GridStepX, GridMax.X, GridSubdivX, minor, GridMin.Y, GridMax.Y, true,
             r.MajorX, r.MinorX);
    AddLines(GridStart(GridMin.Y, GridStepY), GridStepY, GridMax.Y, GridSubdivY, minor, GridMin.X, GridMax.X, false,
             r.MajorY, r.MinorY);
    return r;
}

void TQVScene::BuildGrid()
{
    if (ConfirmDenseGrid())
        return;
    const TGridLines lines = GridLines();
    const bool minor = GridSubdivX > 0 && GridSubdivY > 0;
    TSceneColor minorColor = GridLineColor;
    minorColor.A /= 2;
    auto strip = [this](const std::vector<TVector3f>& Nodes, const TSceneColor& C) {
        auto* s = GridGroup->Add<TLineStrip>();
        s->SetColor(C);
        s->AddNodes(Nodes);
    };
    strip(lines.MajorX, GridLineColor);
    if (minor)
        strip(lines.MinorX, minorColor);
    strip(lines.MajorY, GridLineColor);
    if (minor)
        strip(lines.MinorY, minorColor);
}
