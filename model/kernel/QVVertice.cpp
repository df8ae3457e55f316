#include "QVVertice.h"

#include "QVStream.h"

TAVertice TAVertice::CreatePointCentre(const TVector2D& P, const TVector2D& C)
{
    return CreateFull(0, P, C, 0);
}

TAVertice TAVertice::CreateFull(int32_t Kind, const TVector2D& P, const TVector2D& C, int32_t Tag)
{
    return {Kind, P, C, Tag};
}

TAVertice TAVertice::CreatePoint(const TVector2D& P, int32_t Tag)
{
    return CreateFull(0, P, {}, Tag);
}

TAVertice TAVertice::CreateFromStream(TStreamReader& R)
{
    // The reader refuses a record cut short rather than completing it with zeros.
    TAVertice v;
    v.Kind = R.ReadInt32();
    v.Point.X = R.ReadDouble();
    v.Point.Y = R.ReadDouble();
    v.Centre.X = R.ReadDouble();
    v.Centre.Y = R.ReadDouble();
    v.Tag = R.ReadInt32();
    v.ID = R.ReadInt32();
    return v;
}

void TAVertice::SaveToStream(TStreamWriter& W) const
{
    W.WriteInt32(Kind);
    W.WriteDouble(Point.X);
    W.WriteDouble(Point.Y);
    W.WriteDouble(Centre.X);
    W.WriteDouble(Centre.Y);
    W.WriteInt32(Tag);
    W.WriteInt32(ID);
}

TAVertice3d TAVertice3d::CreatePoint(const TVector3D& P)
{
    return CreateFull(0, P, {}, 0);
}

TAVertice3d TAVertice3d::CreateFull(int32_t Kind, const TVector3D& P, const TVector3D& C, int32_t Tag)
{
    return {Kind, P, C, Tag};
}

namespace {

TVector3D ReadVector3D(TStreamReader& R)
{
    TVector3D v;
    v.X = R.ReadDouble();
    v.Y = R.ReadDouble();
    v.Z = R.ReadDouble();
    return v;
}

void WriteVector3D(TStreamWriter& W, const TVector3D& V)
{
    W.WriteDouble(V.X);
    W.WriteDouble(V.Y);
    W.WriteDouble(V.Z);
}

} // namespace

TAVertice3d TAVertice3d::CreateFromStream(TStreamReader& R)
{
    TAVertice3d v;
    v.Kind = R.ReadInt32();
    v.Point = ReadVector3D(R);
    v.Centre = ReadVector3D(R);
    v.Tag = R.ReadInt32();
    return v;
}

void TAVertice3d::SaveToStream(TStreamWriter& W) const
{
    W.WriteInt32(Kind);
    WriteVector3D(W, Point);
    WriteVector3D(W, Centre);
    W.WriteInt32(Tag);
}
