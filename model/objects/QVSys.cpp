#include "QVSys.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVMatrix.h"

#include <array>
#include <mutex>
#include <optional>
#include <typeinfo>
#include <unordered_map>

namespace {

constexpr uint8_t FlagVisible = 0x01;
constexpr uint8_t FlagEnabled = 0x02;
constexpr uint8_t FlagNotSaved = 0x04;

// The change handlers of the objects that have one; rows are nodes, so a handler stays where it
// is while others come and go.
struct TChangeHandlers {
    std::mutex Mutex;
    std::unordered_map<const TGraphicObject*, THandler<void(TGraphicObject&)>> Rows;
};

TChangeHandlers& ChangeHandlers()
{
    static TChangeHandlers* const table = new TChangeHandlers; // used by objects freed at exit
    return *table;
}

}  // namespace

TGraphicObject::TGraphicObject(int32_t id) : ID(id) {}

TGraphicObject::~TGraphicObject()
{
    if (FHasOnChange)
        SetOnChange(nullptr);
}

void TGraphicObject::SetOnChange(THandler<void(TGraphicObject&)> handler)
{
    TChangeHandlers& table = ChangeHandlers();
    const std::lock_guard lock(table.Mutex);
    if (handler) {
        table.Rows.insert_or_assign(this, std::move(handler));
        FHasOnChange = true;
    } else if (FHasOnChange) {
        table.Rows.erase(this);
        FHasOnChange = false;
    }
}

TGraphicObject::TGraphicObject(TStreamReader& stream, const std::string& /*versionTag*/)
{
    ID = stream.ReadInt32();
    Layer = stream.ReadByte();
    const uint8_t flags = stream.ReadByte();
    Visible = (flags & FlagVisible) != 0;
    Enabled = (flags & FlagEnabled) != 0;
    ToBeSaved = (flags & FlagNotSaved) == 0;
}

std::unique_ptr<TGraphicObject> TGraphicObject::CreateSameClass(int32_t id) const
{
    return std::make_unique<TGraphicObject>(id);
}

void TGraphicObject::SaveToStream(TStreamWriter& stream)
{
    stream.WriteInt32(ID);
    stream.WriteByte(Layer);
    uint8_t flags = 0;
    if (Visible)
        flags |= FlagVisible;
    if (Enabled)
        flags |= FlagEnabled;
    if (!ToBeSaved)
        flags |= FlagNotSaved;
    stream.WriteByte(flags);
}

void TGraphicObject::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    Visible = source.Visible;
    Enabled = source.Enabled;
    ToBeSaved = source.ToBeSaved;
}

TMatrix4 TGraphicObject::GetModelTransform() const { return IdentityMatrix; }

int32_t TGraphicObject::HitTest(const TPoint2D& /*pt*/, double& dist, double /*aperture*/)
{
    dist = 1e8;
    return HitMiss;
}

void TGraphicObject::UpdateBox()
{
    ComputeBox();
    if (FHasOnChange) {
        const THandler<void(TGraphicObject&)>* handler = nullptr;
        {
            TChangeHandlers& table = ChangeHandlers();
            const std::lock_guard lock(table.Mutex);
            handler = &table.Rows.at(this);
        }
        (*handler)(*this);
    }
    if (Owner)
        Owner->NotifyBoxChanged(*this);
}

std::unique_ptr<TGraphicObject> CopyGraphicObject(const TGraphicObject& source)
{
    std::unique_ptr<TGraphicObject> copy = source.CreateSameClass(source.ID);
    // A subclass that forgot CreateSameClass would silently copy as its parent.
    RASTREL_ASSERT(copy);
    const TGraphicObject& made = *copy;
    RASTREL_ASSERT(typeid(made) == typeid(source));
    copy->Assign(source);
    return copy;
}

// The registry. Writers look a class up by name once per object saved, so names are indexed;
// the index keeps the lowest slot of each name, as a scan from slot 0 would find.
namespace {

// Lets the name index be searched with a string_view, without a copy per lookup.
struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct TClassRegistry {
    std::array<std::optional<TGraphicClass>, GraphicClassSlots> Slots;
    std::unordered_map<std::string, int16_t, TNameHash, std::equal_to<>> FirstIndexOfName;
};

TClassRegistry& Registry()
{
    static TClassRegistry registry;
    return registry;
}

// Indices are taken as unsigned 16-bit numbers, so a negative one is out of bound too.
bool OutOfBound(int16_t index) { return static_cast<uint16_t>(index) >= GraphicClassSlots; }

}  // namespace

void QV_00RegisterClass(int16_t index, TGraphicClass graphicClass)
{
    RASTREL_ASSERT(graphicClass.Create && graphicClass.CreateFromStream);
    if (OutOfBound(index))
        throw ECADOutOfBound("QV_00RegisterClass: Out of bound registration index");
    TClassRegistry& reg = Registry();
    std::optional<TGraphicClass>& slot = reg.Slots[static_cast<size_t>(index)];
    if (slot)
        throw ECADObjClassNotFound("QV_00RegisterClass: Index " + std::to_string(index) +
                                   " already allocated by " + slot->Name);
    auto [it, inserted] = reg.FirstIndexOfName.emplace(graphicClass.Name, index);
    if (!inserted && index < it->second)
        it->second = index;
    slot = std::move(graphicClass);
}

const TGraphicClass& QV_00FindClassByIndex(int16_t index)
{
    if (OutOfBound(index))
        throw ECADOutOfBound("QV_00FindClassByIndex: Out of bound registration index");
    const std::optional<TGraphicClass>& slot = Registry().Slots[static_cast<size_t>(index)];
    if (!slot)
        throw ECADObjClassNotFound("QV_00FindClassByIndex: Index not registered");
    return *slot;
}

int16_t QV_00FindClassIndex(std::string_view className)
{
    const TClassRegistry& reg = Registry();
    const auto it = reg.FirstIndexOfName.find(className);
    if (it == reg.FirstIndexOfName.end())
        throw ECADObjClassNotFound("QV_00FindClassIndex: " + std::string(className) +
                                   " graphic class not found");
    return it->second;
}

bool QV_00HasClassIndex(std::string_view className)
{
    const TClassRegistry& reg = Registry();
    return reg.FirstIndexOfName.find(className) != reg.FirstIndexOfName.end();
}

const TGraphicClass& QV_00FindClassByName(std::string_view className)
{
    return *Registry().Slots[static_cast<size_t>(QV_00FindClassIndex(className))];
}

void QV_00ClearClassRegistry()
{
    TClassRegistry& reg = Registry();
    for (auto& slot : reg.Slots)
        slot.reset();
    reg.FirstIndexOfName.clear();
}
