#include "QVContainer.h"

#include "CADExceptions.h"
#include "Cp1252.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>

namespace {

// Smallest record a child can have: its class index and the graphic-object record.
constexpr size_t MinChildBytes = 2 + 6;

// Containers read inside containers: a damaged file must not nest deeper than the stack holds.
int ReadDepth = 0;

class TReadDepth {
public:
    explicit TReadDepth(TStreamReader& stream)
    {
        if (ReadDepth >= MaxNestingDepth)
            stream.Fail("containers nested deeper than " + std::to_string(MaxNestingDepth));
        ++ReadDepth;
    }
    ~TReadDepth() { --ReadDepth; }
    TReadDepth(const TReadDepth&) = delete;
    TReadDepth& operator=(const TReadDepth&) = delete;
};

// Gives a child the placement composed with its enclosing object's for the length of one
// display build, and restores its own afterwards.
class TChildPlacement {
public:
    TChildPlacement(TObject2D& child, const TMatrix4& outer) : Child(child), SavedBox(child.Box)
    {
        if (child.BaseTransform())
            SavedBase = *child.BaseTransform();
        if (child.ModelTransform())
            SavedModel = *child.ModelTransform();
        child.SetBaseTransform(child.GetModelTransformIn(outer));
    }
    ~TChildPlacement()
    {
        Child.SetBaseTransform(SavedBase ? *SavedBase : IdentityMatrix);
        Child.SetModelTransform(SavedModel ? *SavedModel : IdentityMatrix);
        Child.Box = SavedBox;
    }
    TChildPlacement(const TChildPlacement&) = delete;
    TChildPlacement& operator=(const TChildPlacement&) = delete;

private:
    TObject2D& Child;
    std::optional<TMatrix4> SavedBase, SavedModel;
    TRect2D SavedBox;
};

// Calls Visit for every child of List given its placement within Outer for the call.
void ForEachPlacedChild(TGraphicObjList& list, const TMatrix4& outer, const std::function<void(TObject2D&)>& visit)
{
    auto it = list.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        auto* child = dynamic_cast<TObject2D*>(obj);
        if (!child)
            continue;
        TChildPlacement placement(*child, outer);
        visit(*child);
    }
}

void WriteBlockName(TStreamWriter& stream, const TBlockName& name) { stream.WriteBytes(name.data(), name.size()); }

TBlockName ReadBlockName(TStreamReader& stream)
{
    TBlockName name{};
    stream.ReadBytes(name.data(), name.size());
    return name;
}

void WritePoint(TStreamWriter& stream, const TPoint2D& p)
{
    stream.WriteDouble(p.X);
    stream.WriteDouble(p.Y);
    stream.WriteDouble(p.W);
}

TPoint2D ReadPoint(TStreamReader& stream)
{
    TPoint2D p;
    p.X = stream.ReadDouble();
    p.Y = stream.ReadDouble();
    p.W = stream.ReadDouble();
    return p;
}

// A point mapped into an object's own coordinates.
TPoint2D IntoObject(const TObject2D& obj, const TPoint2D& pt)
{
    return obj.HasTransform() ? obj.WorldToObject(pt) : pt;
}

}  // namespace

// ---- block names ----

void StrToBlockName(const std::string& S, TBlockName& Name)
{
    const std::string bytes = Utf8ToWindows1252(S);
    Name.fill('\0');
    std::memcpy(Name.data(), bytes.data(), std::min(bytes.size(), Name.size()));
}

TBlockName StrToBlockName(const std::string& S)
{
    TBlockName name;
    StrToBlockName(S, name);
    return name;
}

std::string BlockNameToStr(const TBlockName& Name)
{
    const auto end = std::find(Name.begin(), Name.end(), '\0');
    return Windows1252ToUtf8(std::string_view(Name.data(), static_cast<size_t>(end - Name.begin())));
}

void SaveIndexedObject(TStreamWriter& stream, TGraphicObject& obj)
{
    stream.WriteInt16(QV_00FindClassIndex(obj.ClassName()));
    obj.SaveToStream(stream);
}

// ---- TContainer2D ----

TContainer2D::TContainer2D(int32_t id) : TObject2D(id) {}

TContainer2D::TContainer2D(int32_t id, std::vector<std::unique_ptr<TGraphicObject>> objects) : TObject2D(id)
{
    for (auto& obj : objects)
        if (obj)
            Objects.Add(std::move(obj));
    UpdateBox();
}

TContainer2D::TContainer2D(TStreamReader& stream, const std::string& versionTag) : TObject2D(stream, versionTag)
{
    ReadChildren(stream, versionTag);
}

void TContainer2D::ReadChildren(TStreamReader& stream, const std::string& versionTag)
{
    const TReadDepth depth(stream);
    const uint32_t n = stream.ReadCount(MinChildBytes, "container children");
    for (uint32_t i = 0; i < n; ++i) {
        const int16_t index = stream.ReadInt16();
        std::unique_ptr<TGraphicObject> child = QV_00FindClassByIndex(index).CreateFromStream(stream, versionTag);
        child->UpdateBox();
        Objects.Add(std::move(child));
    }
    UpdateBox();
}

std::unique_ptr<TGraphicObject> TContainer2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TContainer2D>(id);
}

void TContainer2D::ComputeBox()
{
    auto it = Objects.GetIterator();
    TGraphicObject* obj = it.First();
    std::optional<TRect2D> box;
    for (; obj; obj = it.Next()) {
        const auto* child = dynamic_cast<const TObject2D*>(obj);
        if (!child)
            continue;
        box = box ? UnionRect2D(*box, child->Box) : NormalizeRect2D(child->Box);
    }
    if (!box) {
        Box = TRect2D{};
        return;
    }
    Box = HasTransform() ? TransformRect2D(*box, GetModelTransform()) : *box;
}

void TContainer2D::BuildGL()
{
    ForEachPlacedChild(Objects, GetModelTransform(), [](TObject2D& child) { child.BuildGL(); });
}

void TContainer2D::BuildGLHighlight()
{
    ForEachPlacedChild(Objects, GetModelTransform(), [](TObject2D& child) { child.BuildGLHighlight(); });
}

void TContainer2D::DrawOverlay(TCanvas2D& canvas, bool /*showControlPoints*/)
{
    DrawOverlayAt(canvas, GetModelTransform());
}

// The children are drawn through their composed placement without being given it: a preview
// drawn every frame must not recompute their boxes or fire their change events.
void TContainer2D::DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement)
{
    auto it = Objects.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        if (auto* child = dynamic_cast<TObject2D*>(obj))
            child->DrawOverlayAt(canvas, child->GetModelTransformIn(placement));
}

void TContainer2D::SaveToStream(TStreamWriter& stream)
{
    TObject2D::SaveToStream(stream);
    auto it = Objects.GetIterator();
    stream.WriteInt32(it.Count());
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        SaveIndexedObject(stream, *obj);
}

void TContainer2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TObject2D::Assign(source);
    const auto* other = dynamic_cast<const TContainer2D*>(&source);
    if (!other)
        return;
    Objects.Clear();
    // Walking the source's children does not change them.
    auto& children = const_cast<TGraphicObjList&>(other->Objects);
    if (children.Exclusive())
        throw ECADListBlocked("TContainer2D.Assign: The list has an exclusive iterator.");
    auto it = children.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        Objects.Add(CopyGraphicObject(*obj));
}

int32_t TContainer2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    int32_t result = TObject2D::HitTest(pt, dist, aperture);
    if (result != HitInsideBox)
        return result;
    const TPoint2D local = IntoObject(*this, pt);
    double best = 2 * aperture;
    auto it = Objects.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        double d = NoHitDistance;
        const int32_t code = obj->HitTest(local, d, aperture);
        if (code >= HitInside && d < best) {
            best = d;
            result = obj->ID;
        }
    }
    dist = best;
    return result;
}

// ---- TSourceBlock2D ----

TSourceBlock2D::TSourceBlock2D(int32_t id) : TContainer2D(id) {}

TSourceBlock2D::TSourceBlock2D(int32_t id, const TBlockName& name, std::vector<std::unique_ptr<TGraphicObject>> objects)
    : TContainer2D(id, std::move(objects)), Name(name)
{
}

TSourceBlock2D::TSourceBlock2D(TStreamReader& stream, const std::string& versionTag)
    : TContainer2D(stream, versionTag)
{
    ToBeSaved = stream.ReadBool();
    IsLibrary = stream.ReadBool();
    Name = ReadBlockName(stream);
}

std::unique_ptr<TGraphicObject> TSourceBlock2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TSourceBlock2D>(id);
}

void TSourceBlock2D::SaveToStream(TStreamWriter& stream)
{
    TContainer2D::SaveToStream(stream);
    stream.WriteBool(ToBeSaved);
    stream.WriteBool(IsLibrary);
    WriteBlockName(stream, Name);
}

void TSourceBlock2D::CheckCanFree() const
{
    if (References > 0)
        throw ECADSourceBlockIsReferenced("TSourceBlock2D.Destroy: This source block is referenced and cannot be deleted");
}

// ---- TBlock2D ----

TBlock2D::TBlock2D(int32_t id) : TObject2D(id) {}

TBlock2D::TBlock2D(int32_t id, TSourceBlock2D* source) : TObject2D(id)
{
    if (!source)
        throw ECADCoreException("TBlock2D.Create: Invalid parameter");
    Box = source->Box;
    Bind(source);
}

TBlock2D::TBlock2D(int32_t id, const TBlockName& name) : TObject2D(id), SourceName(name) {}

TBlock2D::TBlock2D(TStreamReader& stream, const std::string& versionTag) : TObject2D(stream, versionTag)
{
    SourceName = ReadBlockName(stream);
    Origin = ReadPoint(stream);
}

TBlock2D::~TBlock2D()
{
    if (FSource && FSource->References > 0)
        --FSource->References;
}

std::unique_ptr<TGraphicObject> TBlock2D::CreateSameClass(int32_t id) const { return std::make_unique<TBlock2D>(id); }

void TBlock2D::Bind(TSourceBlock2D* source)
{
    if (source == FSource)
        return;
    Unbind();
    FSource = source;
    SourceName = source->Name;
    ++FSource->References;
    UpdateBox();
}

void TBlock2D::Unbind()
{
    if (FSource && FSource->References > 0)
        --FSource->References;
    FSource = nullptr;
}

void TBlock2D::SetSourceBlock(TSourceBlock2D* source)
{
    if (!source)
        throw ECADCoreException("TBlock2D.SetSourceBlock: Invalid parameter");
    Bind(source);
}

void TBlock2D::UpdateReference(const TBlockIndex& index)
{
    TSourceBlock2D* block = index.Find(SourceName);
    if (!block)
        throw ECADListObjNotFound("TBlock2D.UpdateReference: Source block not found");
    Bind(block);
}

void TBlock2D::UpdateReference(TGraphicObjIterator& iterator)
{
    for (TGraphicObject* obj = iterator.First(); obj; obj = iterator.Next()) {
        auto* block = dynamic_cast<TSourceBlock2D*>(obj);
        if (block && block->Name == SourceName) {
            Bind(block);
            return;
        }
    }
    throw ECADListObjNotFound("TBlock2D.UpdateReference: Source block not found");
}

void TBlock2D::RefreshSourceBox() { FSource->UpdateBox(); }

void TBlock2D::ComputeBox()
{
    if (!FSource)
        return;
    RefreshSourceBox();
    Box = HasTransform() ? TransformRect2D(FSource->Box, GetModelTransform()) : FSource->Box;
}

void TBlock2D::BuildGL()
{
    if (FSource)
        ForEachPlacedChild(FSource->Objects, FSource->GetModelTransformIn(GetModelTransform()),
                           [](TObject2D& child) { child.BuildGL(); });
}

void TBlock2D::DrawOverlay(TCanvas2D& canvas, bool /*showControlPoints*/)
{
    DrawOverlayAt(canvas, GetModelTransform());
}

void TBlock2D::DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement)
{
    if (FSource)
        FSource->DrawOverlayAt(canvas, FSource->GetModelTransformIn(placement));
}

void TBlock2D::SaveToStream(TStreamWriter& stream)
{
    TObject2D::SaveToStream(stream);
    WriteBlockName(stream, SourceName);
    WritePoint(stream, Origin);
}

void TBlock2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TObject2D::Assign(source);
    const auto* other = dynamic_cast<const TBlock2D*>(&source);
    if (!other)
        return;
    Origin = other->Origin;
    if (other->FSource) {
        Bind(other->FSource);
        return;
    }
    Unbind();
    SourceName = other->SourceName;
}

int32_t TBlock2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    if (!FSource) {
        dist = NoHitDistance;
        return HitMiss;
    }
    const int32_t result = TObject2D::HitTest(pt, dist, aperture);
    double d;
    if (result == HitInsideBox && NearPoint2D(GetModelTransform().TransformPoint2D(Origin), pt, d, aperture)) {
        dist = d;
        return HitOutline;
    }
    return FSource->HitTest(IntoObject(*this, pt), dist, aperture);
}

// ---- TInsert ----

std::unique_ptr<TGraphicObject> TInsert::CreateSameClass(int32_t id) const { return std::make_unique<TInsert>(id); }

void TInsert::RefreshSourceBox() { Source()->ComputeBox(); }

// ---- binding ----

void TBlockIndex::AddAll(TGraphicObjIterator& iterator)
{
    for (TGraphicObject* obj = iterator.First(); obj; obj = iterator.Next())
        if (auto* block = dynamic_cast<TSourceBlock2D*>(obj))
            Add(*block);
}

TSourceBlock2D* TBlockIndex::Find(const TBlockName& name) const
{
    const auto found = ByName.find(name);
    if (found != ByName.end())
        return found->second;
    return Fallback ? Fallback->Find(name) : nullptr;
}

size_t TBlockIndex::THash::operator()(const TBlockName& name) const
{
    return std::hash<std::string_view>()(std::string_view(name.data(), name.size()));
}

void ResolveBlockReferences(TContainer2D& Container, TGraphicObjIterator& Iterator)
{
    TBlockIndex index;
    index.AddAll(Iterator);
    ResolveBlockReferences(Container, index);
}

void ResolveBlockReferences(TContainer2D& Container, const TBlockIndex& Index)
{
    {
        auto it = Container.Objects.GetIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
            // Plain containers are searched too: a reference inside one would otherwise stay
            // unbound, invisible and never hit.
            if (auto* inner = dynamic_cast<TContainer2D*>(obj))
                ResolveBlockReferences(*inner, Index);
            else if (auto* block = dynamic_cast<TBlock2D*>(obj))
                block->UpdateReference(Index);
        }
    }
    Container.UpdateBox();
}

int NestingDepth(const TGraphicObject& Obj)
{
    if (const auto* ref = dynamic_cast<const TBlock2D*>(&Obj))
        return ref->Source() ? 1 + ref->Source()->Depth : 1;
    const auto* container = dynamic_cast<const TContainer2D*>(&Obj);
    if (!container)
        return 1;
    int deepest = 0;
    // Walking the children does not change them.
    auto it = const_cast<TGraphicObjList&>(container->Objects).GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        deepest = std::max(deepest, NestingDepth(*obj));
    return 1 + deepest;
}

namespace {

uint64_t SaturatingAdd(uint64_t A, uint64_t B)
{
    return A > UINT64_MAX - B ? UINT64_MAX : A + B;
}

// Objects shown per byte of a file, and a floor for small files. A traced or hand-made drawing
// shows one object for every hundred bytes or so of its file.
constexpr uint64_t ExpansionPerByte = 16;
constexpr uint64_t ExpansionFloor = 65536;

} // namespace

uint64_t TFileWeights::Of(const TGraphicObject& Obj)
{
    if (const auto* ref = dynamic_cast<const TBlock2D*>(&Obj)) {
        const TSourceBlock2D* def = ref->Source();
        if (!def || !OfTheFile(*def))
            return 1;
        const auto found = Definitions.find(def);
        if (found != Definitions.end())
            return found->second;
        const uint64_t weight = Of(*def);
        Definitions.emplace(def, weight);
        return weight;
    }
    const auto* container = dynamic_cast<const TContainer2D*>(&Obj);
    if (!container)
        return 1;
    uint64_t weight = 1;
    // Walking the children does not change them.
    auto it = const_cast<TGraphicObjList&>(container->Objects).GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        weight = SaturatingAdd(weight, Of(*obj));
    return weight;
}

TExpansionBudget::TExpansionBudget(uint64_t FileBytes)
    : FTotal(FileBytes > (UINT64_MAX - ExpansionFloor) / ExpansionPerByte
                 ? UINT64_MAX
                 : ExpansionPerByte * FileBytes + ExpansionFloor),
      FLeft(FTotal)
{
}

bool TExpansionBudget::Take(uint64_t Weight)
{
    if (!Fits(Weight))
        return false;
    FLeft -= Weight;
    return true;
}

void VisitBlockReferences(TContainer2D& Container, const std::function<void(TBlock2D&)>& Visit)
{
    auto it = Container.Objects.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        if (auto* inner = dynamic_cast<TContainer2D*>(obj))
            VisitBlockReferences(*inner, Visit);
        else if (auto* block = dynamic_cast<TBlock2D*>(obj))
            Visit(*block);
    }
}

void UnbindBlockReferences(TContainer2D& Container)
{
    VisitBlockReferences(Container, [](TBlock2D& block) { block.Unbind(); });
}
