// The 3D primitive: a list of homogeneous 3D points with a 3D box.
#include "QVEntity.h"
#include "QVGeometry.h"

TPrimitive3D::TPrimitive3D(int32_t id) : TObject3D(id)
{
    CreatePointsSet(0);
    UpdateBox();
}

TPrimitive3D::TPrimitive3D(TStreamReader& stream, const std::string& versionTag) : TObject3D(stream, versionTag)
{
    FPoints = TPointsSet3D::CreateFromStream(stream);
    BindPoints();
}

std::unique_ptr<TGraphicObject> TPrimitive3D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TPrimitive3D>(id);
}

void TPrimitive3D::ComputeBox()
{
    if (!FPoints || FPoints->Count() == 0) {
        SetBox3D(MakeRect3D(0, 0, 0, 0, 0, 0));
        return;
    }
    SetBox3D(TransformRect3D(FPoints->GetBox(), GetModelTransform()));
}

void TPrimitive3D::SaveToStream(TStreamWriter& stream)
{
    TObject2D::SaveToStream(stream);
    FPoints->SaveToStream(stream);
}

void TPrimitive3D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TObject2D::Assign(source);
    // The points too: a copy without them would have nothing to show or store.
    if (const auto* other = dynamic_cast<const TPrimitive3D*>(&source)) {
        CreatePointsSet(other->Points().Count());
        FPoints->Growable = other->Points().Growable;
        for (int i = 0; i < other->Points().Count(); ++i)
            FPoints->Put(i, other->Points().Get(i));
        UpdateBox();
    }
}

void TPrimitive3D::CreatePointsSet(int32_t capacity)
{
    FPoints = std::make_unique<TPointsSet3D>(capacity);
    BindPoints();
}

void TPrimitive3D::BindPoints()
{
    FPoints->OwnerObject = this;
}
