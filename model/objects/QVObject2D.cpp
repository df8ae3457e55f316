#include "QVObject2D.h"

#include "CADExceptions.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVStream.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

struct TObject2D::TSide {
    const TObject2DHandler* Handler = nullptr;
    std::optional<TMatrix4> Base;
    std::optional<TMatrix4> Model;
};

namespace {

// The sides of all objects; rows are nodes, so a pointer into one stays valid while it exists.
struct TSideTable {
    std::mutex Mutex;
    std::unordered_map<const TObject2D*, TObject2D::TSide*> Rows;
};

TSideTable& Sides()
{
    static TSideTable* const table = new TSideTable; // used by objects freed at exit
    return *table;
}

} // namespace

bool IsOldTransformTag(const std::string& versionTag) { return versionTag.compare("QV-002") <= 0; }

TObject2D::TObject2D(int32_t id) : TGraphicObject(id) {}

TObject2D::TObject2D(int32_t id, int32_t color, uint8_t lineWidth, const TMatrix4& transform)
    : TGraphicObject(id)
{
    SetModelTransform(transform);
    UseLayerStyle = false;
    LineWidth = lineWidth;
    Color = color;
}

TObject2D::TObject2D(TStreamReader& stream, const std::string& versionTag) : TGraphicObject(stream, versionTag)
{
    if (IsOldTransformTag(versionTag)) {
        TTransform2D t;
        for (double& v : t)
            v = stream.ReadDouble();
        SetBaseTransform2D(t);
    } else {
        TMatrix4 m;
        m.LoadFromStream(stream);
        SetBaseTransform(m);
    }
}

TObject2D::~TObject2D()
{
    if (FSide)
        DropSide(FSide);
}

std::unique_ptr<TGraphicObject> TObject2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TObject2D>(id);
}

TObject2D::TSide* TObject2D::Side() const
{
    if (!FSide)
        return nullptr;
    TSideTable& table = Sides();
    const std::lock_guard lock(table.Mutex);
    return table.Rows.at(this);
}

TObject2D::TSide& TObject2D::MakeSide()
{
    if (TSide* side = Side())
        return *side;
    auto side = std::make_unique<TSide>();
    TSideTable& table = Sides();
    const std::lock_guard lock(table.Mutex);
    // An object's row goes with the object, so no row is left for its address.
    const bool added = table.Rows.emplace(this, side.get()).second;
    RASTREL_ASSERT(added);
    return *side.release();
}

void TObject2D::DropSide(uint8_t bits)
{
    TSide* side = Side();
    if (!side)
        return;
    FSide &= static_cast<uint8_t>(~bits);
    if (bits & OwnHandlerBit)
        side->Handler = nullptr;
    if (bits & TransformsBit) {
        side->Base.reset();
        side->Model.reset();
    }
    if (FSide)
        return;
    TSideTable& table = Sides();
    {
        const std::lock_guard lock(table.Mutex);
        table.Rows.erase(this);
    }
    delete side;
}

const TMatrix4* TObject2D::BaseTransform() const
{
    const TSide* side = FSide & TransformsBit ? Side() : nullptr;
    return side && side->Base ? &*side->Base : nullptr;
}

const TMatrix4* TObject2D::ModelTransform() const
{
    const TSide* side = FSide & TransformsBit ? Side() : nullptr;
    return side && side->Model ? &*side->Model : nullptr;
}

const TObject2DHandler* TObject2D::Handler() const
{
    return FSide & OwnHandlerBit ? Side()->Handler : ClassHandler();
}

void TObject2D::SetHandler(const TObject2DHandler* handler)
{
    if (handler == ClassHandler()) {
        DropSide(OwnHandlerBit);
        return;
    }
    MakeSide().Handler = handler;
    FSide |= OwnHandlerBit;
}

void TObject2D::SaveToStream(TStreamWriter& stream)
{
    TGraphicObject::SaveToStream(stream);
    if (ModelTransform())
        SetBaseTransform(GetModelTransform());
    const TMatrix4* base = BaseTransform();
    (base ? *base : IdentityMatrix).SaveToStream(stream);
}

void TObject2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TGraphicObject::Assign(source);
    const auto* other = dynamic_cast<const TObject2D*>(&source);
    if (!other)
        return;
    SetBaseTransform(other->GetModelTransform());
    Box = other->Box;
    SetHandler(other->Handler());
}

TMatrix4 TObject2D::GetModelTransform() const
{
    // A lone matrix is returned as it stands: cheaper, and exact even for values that a product
    // with the identity would not keep (an infinity times 0 is NaN).
    const TMatrix4* base = BaseTransform();
    const TMatrix4* model = ModelTransform();
    if (!base)
        return model ? *model : IdentityMatrix;
    if (!model)
        return *base;
    TMatrix4 combined;
    combined.Multiply(*base, *model);
    return combined;
}

void TObject2D::DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m)
{
    TMatrix4 placement;
    placement.Multiply(m, GetModelTransform());
    DrawOverlayAt(canvas, placement);
}

TMatrix4 TObject2D::GetModelTransformIn(const TMatrix4& outer) const
{
    TMatrix4 combined;
    combined.Multiply(GetModelTransform(), outer);
    return combined;
}

void TObject2D::SetModelTransform(const TMatrix4& m)
{
    const TMatrix4* base = BaseTransform();
    StoreTransforms(base ? std::optional<TMatrix4>(*base) : std::nullopt, m);
    UpdateBox();
}

bool TObject2D::IsVisibleIn(const TRect2D& r) const
{
    return Visible && Box.First.X <= r.Second.X && Box.Second.X >= r.First.X && Box.First.Y <= r.Second.Y &&
           Box.Second.Y >= r.First.Y;
}

void TObject2D::TransformBy(const TMatrix4& m)
{
    const TMatrix4* model = ModelTransform();
    if (!model) {
        SetModelTransform(m);
        return;
    }
    TMatrix4 product;
    product.Multiply(*model, m);
    SetModelTransform(product);
}

void TObject2D::ApplyTransform() { SetBaseTransform(GetModelTransform()); }

int32_t TObject2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    dist = NoHitDistance;
    if (!Enabled)
        return HitMiss;
    int32_t result = HitMiss;
    if (PointClipCode2D(InflateRect2D(Box, aperture), pt) == 0) {
        result = HitInsideBox;
        dist = aperture;
    }
    if (const TObject2DHandler* handler = Handler())
        result = std::max(result, handler->PickControlPoint(*this, pt, dist, aperture));
    return result;
}

void TObject2D::SetBaseTransform(const TMatrix4& m) { StoreTransforms(m, std::nullopt); }

void TObject2D::SetBaseTransform2D(const TTransform2D& t) { SetBaseTransform(TMatrix4::CreateFrom2D(t)); }

void TObject2D::ResetTransform()
{
    DropSide(TransformsBit);
    UpdateBox();
}

TPoint2D TObject2D::WorldToObject(const TPoint2D& p) const
{
    TMatrix4 inverse;
    inverse.Invert(GetModelTransform());
    return inverse.TransformPoint2D(p);
}

void TObject2D::MoveBy(const TPoint2D& target, const TPoint2D& origin)
{
    const TPoint2D t = CartesianPoint2D(target);
    const TPoint2D o = CartesianPoint2D(origin);
    TransformBy(TMatrix4::CreateTranslation(t.X - o.X, t.Y - o.Y, 0));
}

void TObject2D::StoreTransforms(std::optional<TMatrix4> base, std::optional<TMatrix4> model)
{
    // Copies through Assign, so a locked source does not make a locked transform.
    const auto kept = [](const std::optional<TMatrix4>& m) -> std::optional<TMatrix4> {
        if (!m || m->IsEqual(IdentityMatrix))
            return std::nullopt;
        TMatrix4 copy;
        copy.Assign(&*m);
        return copy;
    };
    base = kept(base);
    model = kept(model);
    if (!base && !model) {
        DropSide(TransformsBit);
        return;
    }
    TSide& side = MakeSide();
    side.Base = base;
    side.Model = model;
    FSide |= TransformsBit;
}

std::unique_ptr<TGraphicObject> TObject3D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TObject3D>(id);
}

void TObject3D::SetBox3D(const TRect3D& b)
{
    Box3D = b;
    Box = MakeRect2D(b.First.X, b.First.Y, b.Second.X, b.Second.Y);
}
