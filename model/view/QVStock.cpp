#include "QVStock.h"

#include "QVScene.h"
#include "UnitCurva.h"

#include <array>
#include <vector>

TQVGrezzo* Grezzo = nullptr;

TQVGrezzo::TQVGrezzo()
{
    Name = "Grezzo";
    SetColor({0.1f, 0.1f, 0.74f, 0.4f});
    SetBlended(true);
    SetDepthTest(false);
    ShowSides = ShowStart = ShowEnd = true;
    SetBox({});
}

TQVGrezzo::~TQVGrezzo()
{
    if (Grezzo == this)
        Grezzo = nullptr;
}

void TQVGrezzo::SetBox(const TRect3D& B)
{
    StockBox = B;
    const TMatrix4& m = Matrix();
    SetPosition(m.M[12], m.M[13], B.First.Z);
    SetHeight(B.Second.Z - B.First.Z);
    SetContour(
        {{B.First.X, B.First.Y}, {B.Second.X, B.First.Y}, {B.Second.X, B.Second.Y}, {B.First.X, B.Second.Y}});
}

void TQVGrezzo::Widen(bool AlongX, double M)
{
    std::vector<TVector2D> c = Contour();
    if (c.size() != 4)
        return;
    // Nodes 0 and 3 lie at the lower X, nodes 0 and 1 at the lower Y.
    const auto low = AlongX ? std::array<size_t, 2>{0, 3} : std::array<size_t, 2>{0, 1};
    const auto high = AlongX ? std::array<size_t, 2>{1, 2} : std::array<size_t, 2>{2, 3};
    const double lo = (AlongX ? StockBox.First.X : StockBox.First.Y) - M;
    const double hi = (AlongX ? StockBox.Second.X : StockBox.Second.Y) + M;
    for (const size_t i : low)
        (AlongX ? c[i].X : c[i].Y) = lo;
    for (const size_t i : high)
        (AlongX ? c[i].X : c[i].Y) = hi;
    SetContour(std::move(c));
}

void TQVGrezzo::SetFromChains(const TListaDiCurve& Chains)
{
    if (Chains.Items.empty())
        return;
    std::vector<TVector2D> c;
    for (const TAVertice& v : Chains.Items.front()->Vertices)
        c.push_back(v.Point);
    SetContour(std::move(c));
}

void TQVGrezzo::SetZBottom(double Z)
{
    const TMatrix4& m = Matrix();
    SetPosition(m.M[12], m.M[13], Z);
    SetHeight(StockBox.Second.Z - Z);
}

namespace {

void MakeStockBox(TQVScene& View)
{
    Grezzo = View.Group3D->Add<TQVGrezzo>();
}

} // namespace

void InstallStockBox(TQVScene& View)
{
    View.FreeStock = [&View] {
        if (Grezzo && Grezzo->Parent() == View.Group3D)
            View.Group3D->Delete(Grezzo);
    };
    View.CreateStock = [&View] { MakeStockBox(View); };
    MakeStockBox(View);
}
