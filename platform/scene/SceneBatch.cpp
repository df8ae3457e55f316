#include "SceneBatch.h"

#include "Bitmap32.h"
#include "SceneStl.h"

#include <algorithm>
#include <cmath>

std::vector<TTextureTile> TextureTiles(int W, int H, int MaxSize)
{
    std::vector<TTextureTile> tiles;
    if (W <= 0 || H <= 0 || MaxSize <= 0)
        return tiles;
    for (int y = 0; y < H; y += MaxSize)
        for (int x = 0; x < W; x += MaxSize)
            tiles.push_back({x, y, std::min(MaxSize, W - x), std::min(MaxSize, H - y)});
    return tiles;
}

namespace {
double Cross(const TVector2D& O, const TVector2D& A, const TVector2D& B)
{
    return (A.X - O.X) * (B.Y - O.Y) - (A.Y - O.Y) * (B.X - O.X);
}

bool InTriangle(const TVector2D& P, const TVector2D& A, const TVector2D& B, const TVector2D& C)
{
    return Cross(A, B, P) >= 0 && Cross(B, C, P) >= 0 && Cross(C, A, P) >= 0;
}
} // namespace

std::vector<uint32_t> TriangulatePolygon(const std::vector<TVector2D>& Points)
{
    std::vector<uint32_t> out;
    std::vector<uint32_t> ring;
    ring.reserve(Points.size());
    for (uint32_t i = 0; i < Points.size(); ++i) {
        const TVector2D& p = Points[i];
        if (!std::isfinite(p.X) || !std::isfinite(p.Y))
            continue;
        if (!ring.empty() && Points[ring.back()].X == p.X && Points[ring.back()].Y == p.Y)
            continue;
        ring.push_back(i);
    }
    while (ring.size() > 1 && Points[ring.front()].X == Points[ring.back()].X &&
           Points[ring.front()].Y == Points[ring.back()].Y)
        ring.pop_back();
    if (ring.size() < 3)
        return out;
    double area = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const TVector2D& a = Points[ring[i]];
        const TVector2D& b = Points[ring[(i + 1) % ring.size()]];
        area += a.X * b.Y - b.X * a.Y;
    }
    if (area < 0)
        std::reverse(ring.begin(), ring.end());
    out.reserve(3 * (ring.size() - 2));
    size_t misses = 0, i = 0;
    while (ring.size() > 3) {
        const size_t n = ring.size();
        i %= n;
        const uint32_t ia = ring[(i + n - 1) % n], ib = ring[i], ic = ring[(i + 1) % n];
        const TVector2D &a = Points[ia], &b = Points[ib], &c = Points[ic];
        bool ear = Cross(a, b, c) > 0;
        if (ear)
            for (size_t k = 0; k < n && ear; ++k) {
                const uint32_t ip = ring[k];
                if (ip == ia || ip == ib || ip == ic)
                    continue;
                const TVector2D& p = Points[ip];
                if ((p.X == a.X && p.Y == a.Y) || (p.X == b.X && p.Y == b.Y) || (p.X == c.X && p.Y == c.Y))
                    continue;
                ear = !InTriangle(p, a, b, c);
            }
        // After a whole round without an ear the outline crosses itself or is degenerate: cut
        // the vertex anyway so that the loop always ends.
        if (ear || misses >= n) {
            if (Cross(a, b, c) != 0) {
                out.push_back(ia);
                out.push_back(ib);
                out.push_back(ic);
            }
            ring.erase(ring.begin() + std::ptrdiff_t(i));
            misses = 0;
        } else {
            ++i;
            ++misses;
        }
    }
    if (Cross(Points[ring[0]], Points[ring[1]], Points[ring[2]]) != 0)
        out.insert(out.end(), ring.begin(), ring.end());
    return out;
}

bool JoinCommand(TBatchCommand& Last, const TBatchCommand& C)
{
    if (Last.Prim != C.Prim || Last.Size != C.Size || Last.Smooth != C.Smooth || Last.Blend != C.Blend ||
        Last.Depth != C.Depth || Last.DepthWrite != C.DepthWrite || Last.Plane != nullptr ||
        C.Plane != nullptr || Last.First + Last.Count != C.First)
        return false;
    Last.Count += C.Count;
    return true;
}

namespace {
uint8_t Byte(float V)
{
    return uint8_t(std::lround(std::clamp(V, 0.0f, 1.0f) * 255));
}

// Triangles (index triples into Nodes) filling the outline in the plane it lies in: the axis
// its normal points along most is dropped. Empty when it fills nothing.
std::vector<uint32_t> TriangulateOutline(std::span<const TVector3f> Nodes)
{
    if (Nodes.size() < 3)
        return {};
    double nx = 0, ny = 0, nz = 0;
    for (size_t i = 0; i < Nodes.size(); ++i) {
        const TVector3f& a = Nodes[i];
        const TVector3f& b = Nodes[(i + 1) % Nodes.size()];
        nx += double(a.Y - b.Y) * (a.Z + b.Z);
        ny += double(a.Z - b.Z) * (a.X + b.X);
        nz += double(a.X - b.X) * (a.Y + b.Y);
    }
    std::vector<TVector2D> flat(Nodes.size());
    for (size_t i = 0; i < Nodes.size(); ++i) {
        const TVector3f& v = Nodes[i];
        if (std::abs(nz) >= std::abs(nx) && std::abs(nz) >= std::abs(ny))
            flat[i] = {v.X, v.Y};
        else if (std::abs(ny) >= std::abs(nx))
            flat[i] = {v.Z, v.X};
        else
            flat[i] = {v.Y, v.Z};
    }
    return TriangulatePolygon(flat);
}

class TBuilder {
public:
    TBuilder(TGroupBatch& B, int MaxTex) : Batch(B), MaxTextureSize(MaxTex) {}

    void Leaf(const TSceneNode& N)
    {
        Baked = !N.Matrix().IsEqual(IdentityMatrix);
        M = N.Matrix();
        switch (N.Kind()) {
        case TSceneNodeKind::LineStrip:
            Strip(static_cast<const TLineStrip&>(N));
            break;
        case TSceneNodeKind::PointCloud:
            Points(static_cast<const TPointCloud&>(N));
            break;
        case TSceneNodeKind::Polygon:
            Polygon(static_cast<const TPolygonNode&>(N));
            break;
        case TSceneNodeKind::TexturedPlane:
            Plane(static_cast<const TTexturedPlane&>(N));
            break;
        case TSceneNodeKind::Box:
            Box(static_cast<const TBoxNode&>(N));
            break;
        case TSceneNodeKind::Extrusion:
            Extrusion(static_cast<const TExtrusionNode&>(N));
            break;
        case TSceneNodeKind::Mesh:
            Mesh(static_cast<const TMesh&>(N));
            break;
        default:
            break;
        }
    }

private:
    TGroupBatch& Batch;
    int MaxTextureSize;
    bool Baked = false;
    TMatrix4 M;

    TVector3f Place(const TVector3f& V) const
    {
        if (!Baked)
            return V;
        const TPoint3D p = M.TransformPoint3D({V.X, V.Y, V.Z, 1});
        return {float(p.X), float(p.Y), float(p.Z)};
    }

    TVector3f Turn(const TVector3f& N) const
    {
        if (!Baked)
            return N;
        const double x = N.X * M.M[0] + N.Y * M.M[4] + N.Z * M.M[8];
        const double y = N.X * M.M[1] + N.Y * M.M[5] + N.Z * M.M[9];
        const double z = N.X * M.M[2] + N.Y * M.M[6] + N.Z * M.M[10];
        const double len = std::sqrt(x * x + y * y + z * z);
        return len > 0 ? TVector3f{float(x / len), float(y / len), float(z / len)} : N;
    }

    uint32_t AddFlat(const TVector3f& V, const TSceneColor& C)
    {
        const TVector3f p = Place(V);
        Batch.Flat.push_back({p.X, p.Y, p.Z, Byte(C.R), Byte(C.G), Byte(C.B), Byte(C.A)});
        return uint32_t(Batch.Flat.size() - 1);
    }

    void AddSurface(const TVector3f& V, const TVector3f& N, float U, float Vt, const TSceneColor& C)
    {
        const TVector3f p = Place(V), n = Turn(N);
        Batch.Surface.push_back(
            {p.X, p.Y, p.Z, n.X, n.Y, n.Z, U, Vt, Byte(C.R), Byte(C.G), Byte(C.B), Byte(C.A)});
    }

    // Starts or extends the last command; Count grows by what the caller adds after.
    void Command(TBatchCommand C, uint32_t Added)
    {
        const bool flat =
            C.Prim == TBatchPrim::Lines || C.Prim == TBatchPrim::Points || C.Prim == TBatchPrim::Triangles;
        C.First = uint32_t(flat ? Batch.Indices.size() : Batch.Surface.size()) - Added;
        C.Count = Added;
        if (!Batch.Commands.empty() && !Batch.Items.empty() && Batch.Items.back().Node == nullptr &&
            Batch.Items.back().CommandCount > 0 && JoinCommand(Batch.Commands.back(), C))
            return;
        Batch.Commands.push_back(C);
        if (Batch.Items.empty() || Batch.Items.back().Node != nullptr)
            Batch.Items.push_back({nullptr, uint32_t(Batch.Commands.size() - 1), 0});
        ++Batch.Items.back().CommandCount;
    }

    void Strip(const TLineStrip& S)
    {
        const auto& nodes = S.Nodes();
        if (nodes.size() >= 2) {
            const uint32_t base = uint32_t(Batch.Flat.size());
            for (const auto& v : nodes)
                AddFlat(v, S.Color());
            for (uint32_t i = 0; i + 1 < nodes.size(); ++i) {
                Batch.Indices.push_back(base + i);
                Batch.Indices.push_back(base + i + 1);
            }
            TBatchCommand c;
            c.Prim = TBatchPrim::Lines;
            c.Size = S.LineWidth();
            Command(c, uint32_t(2 * (nodes.size() - 1)));
        }
        if (S.NodesShown() && !nodes.empty()) {
            const uint32_t base = uint32_t(Batch.Flat.size());
            for (const auto& v : nodes)
                AddFlat(v, S.Color());
            for (uint32_t i = 0; i < nodes.size(); ++i)
                Batch.Indices.push_back(base + i);
            TBatchCommand c;
            c.Prim = TBatchPrim::Points;
            c.Size = S.NodeSize();
            Command(c, uint32_t(nodes.size()));
        }
    }

    void Points(const TPointCloud& P)
    {
        if (P.Points().empty())
            return;
        for (const auto& v : P.Points())
            Batch.Indices.push_back(AddFlat(v, P.Color()));
        TBatchCommand c;
        c.Prim = TBatchPrim::Points;
        c.Size = P.PointSize();
        c.Smooth = P.Smooth();
        Command(c, uint32_t(P.Points().size()));
    }

    void Polygon(const TPolygonNode& P)
    {
        const auto& nodes = P.Nodes();
        const std::vector<uint32_t> tri = TriangulateOutline(nodes);
        if (tri.empty())
            return;
        TSceneColor col = P.Color();
        if (!P.Blended())
            col.A = 1;
        const uint32_t base = uint32_t(Batch.Flat.size());
        for (const auto& v : nodes)
            AddFlat(v, col);
        for (uint32_t i : tri)
            Batch.Indices.push_back(base + i);
        TBatchCommand c;
        c.Prim = TBatchPrim::Triangles;
        Command(c, uint32_t(tri.size()));
    }

    void Plane(const TTexturedPlane& P)
    {
        const auto& tex = P.Texture();
        if (!tex || tex->IsEmpty())
            return;
        const TVector3D c = P.Centre();
        const double x0 = c.X - P.Width() / 2, x1 = c.X + P.Width() / 2;
        const double yTop = c.Y + P.Height() / 2, yBottom = c.Y - P.Height() / 2;
        const int w = tex->Width(), h = tex->Height();
        const std::vector<TTextureTile> tiles = TextureTiles(w, h, MaxTextureSize);
        const TSceneColor col = P.Color();
        const TVector3f up{0, 0, 1};
        for (size_t t = 0; t < tiles.size(); ++t) {
            const TTextureTile& tile = tiles[t];
            // Picture row 0 is the top; the tile's texture holds its own rows from 0.
            const double ta = double(tile.X) / w, tb = double(tile.X + tile.W) / w;
            const double sa = double(tile.Y) / h, sb = double(tile.Y + tile.H) / h;
            const float ax = float(x0 + (x1 - x0) * ta), bx = float(x0 + (x1 - x0) * tb);
            const float ay = float(yTop + (yBottom - yTop) * sa), by = float(yTop + (yBottom - yTop) * sb);
            const float z = float(c.Z);
            AddSurface({ax, ay, z}, up, 0, 0, col);
            AddSurface({bx, ay, z}, up, 1, 0, col);
            AddSurface({bx, by, z}, up, 1, 1, col);
            AddSurface({ax, ay, z}, up, 0, 0, col);
            AddSurface({bx, by, z}, up, 1, 1, col);
            AddSurface({ax, by, z}, up, 0, 1, col);
            TBatchCommand cmd;
            cmd.Prim = TBatchPrim::Textured;
            cmd.Depth = TDepthMode::Off;
            cmd.DepthWrite = false;
            cmd.Plane = &P;
            cmd.Tile = int(t);
            Command(cmd, 6);
        }
    }

    void SolidCommand(const TSolidNode& S, uint32_t Added)
    {
        TBatchCommand c;
        c.Prim = TBatchPrim::Lit;
        c.Blend = S.Blended();
        c.Depth = S.DepthTest() ? TDepthMode::Scene : TDepthMode::Off;
        c.DepthWrite = !S.Blended();
        Command(c, Added);
    }

    TSceneColor SolidColor(const TSolidNode& S) const
    {
        TSceneColor c = S.Color();
        if (!S.Blended())
            c.A = 1;
        return c;
    }

    void Triangle(const TVector3f& A, const TVector3f& B, const TVector3f& C, const TVector3f& N,
                  const TSceneColor& Col)
    {
        AddSurface(A, N, 0, 0, Col);
        AddSurface(B, N, 0, 0, Col);
        AddSurface(C, N, 0, 0, Col);
    }

    void Box(const TBoxNode& B)
    {
        const TVector3D s = B.Size();
        const float x = float(s.X / 2), y = float(s.Y / 2), z = float(s.Z / 2);
        const TSceneColor col = SolidColor(B);
        const TVector3f c[8] = {{-x, -y, -z}, {x, -y, -z}, {x, y, -z}, {-x, y, -z},
                                {-x, -y, z},  {x, -y, z},  {x, y, z},  {-x, y, z}};
        struct TFace {
            int A, B, C, D;
            TVector3f N;
        };
        const TFace faces[6] = {{0, 3, 2, 1, {0, 0, -1}}, {4, 5, 6, 7, {0, 0, 1}}, {0, 1, 5, 4, {0, -1, 0}},
                                {2, 3, 7, 6, {0, 1, 0}},  {1, 2, 6, 5, {1, 0, 0}}, {3, 0, 4, 7, {-1, 0, 0}}};
        for (const auto& f : faces) {
            Triangle(c[f.A], c[f.B], c[f.C], f.N, col);
            Triangle(c[f.A], c[f.C], c[f.D], f.N, col);
        }
        SolidCommand(B, 36);
    }

    void Extrusion(const TExtrusionNode& E)
    {
        std::vector<TVector2D> ring = E.Contour();
        while (ring.size() > 1 && ring.front().X == ring.back().X && ring.front().Y == ring.back().Y)
            ring.pop_back();
        if (ring.size() < 3)
            return;
        const TSceneColor col = SolidColor(E);
        const float z0 = 0, z1 = float(E.Height());
        const size_t before = Batch.Surface.size();
        if (E.ShowSides)
            for (size_t i = 0; i < ring.size(); ++i) {
                const TVector2D& a = ring[i];
                const TVector2D& b = ring[(i + 1) % ring.size()];
                const TVector3f n = TriangleNormalXY(a, b);
                const TVector3f a0{float(a.X), float(a.Y), z0}, b0{float(b.X), float(b.Y), z0};
                const TVector3f a1{float(a.X), float(a.Y), z1}, b1{float(b.X), float(b.Y), z1};
                Triangle(a0, b0, b1, n, col);
                Triangle(a0, b1, a1, n, col);
            }
        const std::vector<uint32_t> tri = TriangulatePolygon(ring);
        for (size_t i = 0; i + 2 < tri.size(); i += 3) {
            const TVector2D &a = ring[tri[i]], &b = ring[tri[i + 1]], &c = ring[tri[i + 2]];
            if (E.ShowStart)
                Triangle({float(a.X), float(a.Y), z0}, {float(c.X), float(c.Y), z0},
                         {float(b.X), float(b.Y), z0}, {0, 0, -1}, col);
            if (E.ShowEnd)
                Triangle({float(a.X), float(a.Y), z1}, {float(b.X), float(b.Y), z1},
                         {float(c.X), float(c.Y), z1}, {0, 0, 1}, col);
        }
        if (Batch.Surface.size() > before)
            SolidCommand(E, uint32_t(Batch.Surface.size() - before));
    }

    static TVector3f TriangleNormalXY(const TVector2D& A, const TVector2D& B)
    {
        const double dx = B.X - A.X, dy = B.Y - A.Y, len = std::sqrt(dx * dx + dy * dy);
        return len > 0 ? TVector3f{float(dy / len), float(-dx / len), 0} : TVector3f{};
    }

    void Mesh(const TMesh& Me)
    {
        const auto& tris = Me.Triangles();
        if (tris.empty())
            return;
        const TSceneColor col = SolidColor(Me);
        for (const auto& t : tris) {
            TVector3f n = t.Normal;
            if (n.X == 0 && n.Y == 0 && n.Z == 0) // files may leave the normal out
                n = TriangleNormal(t.V[0], t.V[1], t.V[2]);
            Triangle(t.V[0], t.V[1], t.V[2], n, col);
        }
        SolidCommand(Me, uint32_t(3 * tris.size()));
    }
};
} // namespace

TGroupBatch BuildGroupBatch(const TSceneGroup& G, int MaxTextureSize)
{
    TGroupBatch batch;
    TBuilder builder(batch, MaxTextureSize);
    for (int i = 0; i < G.Count(); ++i) {
        TSceneNode* n = G.Child(i);
        // Groups, callbacks and texts keep their place even while hidden: showing them again
        // does not change this group's buffers.
        if (n->InBuffers()) {
            if (n->Visible())
                builder.Leaf(*n);
        } else if (n->Kind() == TSceneNodeKind::Group || n->Kind() == TSceneNodeKind::RenderCallback ||
                   n->Kind() == TSceneNodeKind::HudText || n->Kind() == TSceneNodeKind::FlatBatch)
            batch.Items.push_back({n, 0, 0});
    }
    return batch;
}

// ---- batch nodes

void TFlatBatch::Added()
{
    // One counter for all batches: a new batch at a freed one's address never repeats its value.
    static uint64_t revisions = 0;
    Revision_ = ++revisions;
    Changed();
}

uint32_t TFlatBatch::AddVertex(double X, double Y, double Z)
{
    if (Count == Blocks.size() * BlockVertices)
        Blocks.push_back(std::make_unique_for_overwrite<TFlatVertex[]>(BlockVertices));
    Blocks[Count / BlockVertices][Count % BlockVertices] = {float(X), float(Y), float(Z), Rgba[0],
                                                            Rgba[1],  Rgba[2],  Rgba[3]};
    return uint32_t(Count++);
}

void TFlatBatch::AddCommand(TBatchCommand C, uint32_t Entries)
{
    C.First = uint32_t(C.Prim == TBatchPrim::Strips ? StripFirsts_.size() : Indices_.size()) - Entries;
    C.Count = Entries;
    if (Commands_.empty() || !JoinCommand(Commands_.back(), C))
        Commands_.push_back(C);
}

void TFlatBatch::UseColor(const TSceneColor& Color)
{
    Rgba[0] = Byte(Color.R);
    Rgba[1] = Byte(Color.G);
    Rgba[2] = Byte(Color.B);
    Rgba[3] = Byte(Color.A);
}

void TFlatBatch::BeginStrip(const TSceneColor& Color, float Width)
{
    UseColor(Color);
    StripStart = Count;
    StripWidth = Width;
}

void TFlatBatch::AddStripPoint(double X, double Y, double Z)
{
    AddVertex(X, Y, Z);
}

void TFlatBatch::EndStrip()
{
    const size_t n = Count - StripStart;
    if (n < 2) {
        Count = StripStart;
        return;
    }
    StripFirsts_.push_back(int32_t(StripStart));
    StripCounts_.push_back(int32_t(n));
    TBatchCommand c;
    c.Prim = TBatchPrim::Strips;
    c.Size = StripWidth;
    AddCommand(c, 1);
    Added();
}

void TFlatBatch::AddPoint(double X, double Y, double Z, const TSceneColor& Color, float Size, bool Smooth)
{
    UseColor(Color);
    Indices_.push_back(AddVertex(X, Y, Z));
    TBatchCommand c;
    c.Prim = TBatchPrim::Points;
    c.Size = Size;
    c.Smooth = Smooth;
    AddCommand(c, 1);
    Added();
}

void TFlatBatch::AddPolygon(std::span<const TVector3f> Nodes, const TSceneColor& Color, bool Blended)
{
    const std::vector<uint32_t> tri = TriangulateOutline(Nodes);
    if (tri.empty())
        return;
    TSceneColor col = Color;
    if (!Blended)
        col.A = 1;
    UseColor(col);
    const uint32_t base = uint32_t(Count);
    for (const TVector3f& v : Nodes)
        AddVertex(v.X, v.Y, v.Z);
    for (uint32_t i : tri)
        Indices_.push_back(base + i);
    TBatchCommand c;
    c.Prim = TBatchPrim::Triangles;
    AddCommand(c, uint32_t(tri.size()));
    Added();
}

TFlatBatch& BatchAtEnd(TSceneGroup& G)
{
    if (G.Count() > 0 && G.Child(G.Count() - 1)->Kind() == TSceneNodeKind::FlatBatch)
        return static_cast<TFlatBatch&>(*G.Child(G.Count() - 1));
    return *G.Add<TFlatBatch>();
}
