#pragma once
// The root of every object a drawing holds, and the class registry that turns the class index
// stored in a stream back into the class that reads the object's data.
#include "ObjectMemory.h"
#include "QVGeom2D.h"
#include "QVHandler.h"
#include "QVStream.h"
#include "QVTypes.h"
#include "SceneNodes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TMatrix4;
class TPointsSet2D;
class TCanvas2D;
class TQV_01Cmp;

// Item handle of a geometry-tree node; 0 means no node. The tree itself lives in the UI layer.
using TTreeItemHandle = std::uintptr_t;

class TGraphicObject {
public:
    explicit TGraphicObject(int32_t id);
    // Stream constructor: reads the six-byte record. It touches nothing outside the object, so a
    // failed or discarded read leaves the program as it was.
    TGraphicObject(TStreamReader& stream, const std::string& versionTag);
    virtual ~TGraphicObject();

    TGraphicObject(const TGraphicObject&) = delete;
    TGraphicObject& operator=(const TGraphicObject&) = delete;

    // Every drawing object lives in the object memory; the virtual destructor gives delete the size.
    static void* operator new(size_t size) { return AllocateObjectMemory(size); }
    static void operator delete(void* p, size_t size) noexcept { FreeObjectMemory(p, size); }

    // The class's own name, as registered; a subclass that is streamed overrides it.
    virtual std::string_view ClassName() const { return "TGraphicObject"; }
    // A new object of this exact class made only by the ID constructor; CopyGraphicObject relies on it.
    virtual std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const;

    // The operation vocabulary of the family; the defaults suit an object without geometry.
    virtual void ComputeBox() {}
    virtual void BuildGL();
    virtual void SaveToStream(TStreamWriter& stream);
    virtual void Assign(const TGraphicObject& source);
    // The combined transform; identity for an object without one.
    virtual TMatrix4 GetModelTransform() const;
    virtual void SetModelTransform(const TMatrix4&) {}
    virtual bool HasTransform() const { return false; }
    virtual void BuildGLHighlight();
    // The view's display objects. BuildGL builds into the view's drawing group and
    // BuildGLHighlight into its highlight group, through the In variants, which answer the node
    // they made (null for none); both keep it in GLObject.
    virtual TSceneNode* BuildGLIn(TSceneGroup&) { return nullptr; }
    virtual TSceneNode* BuildGLHighlightIn(TSceneGroup&) { return nullptr; }
    // The flat drawing on the view's overlay canvas (viewer pixels). M acts first, in the
    // object's own space, then the object's transform.
    virtual void DrawOverlay(TCanvas2D&, bool /*showControlPoints*/) {}
    virtual void DrawOverlayTransformed(TCanvas2D&, const TMatrix4& /*m*/) {}
    // The integer screen rectangle of the object; all zero when it has no screen extent.
    virtual TRect GetScreenRect() const { return {}; }
    // False for an object that a window selection must never take, whatever its extent.
    virtual bool WindowSelectable() const { return true; }
    virtual bool IsVisibleIn(const TRect2D&) const { return false; }
    virtual TPointsSet2D* GetProfilePoints() { return nullptr; }
    virtual int32_t GetProfileCount() const { return 0; }
    // Not const: a curve builds its profile to answer.
    virtual bool IsClosed() { return false; }
    virtual void TransformBy(const TMatrix4&) {}
    virtual void ApplyTransform() {}
    virtual int32_t HitTest(const TPoint2D& pt, double& dist, double aperture);
    virtual void CreatePointsSet(int32_t /*capacity*/) {}
    virtual void BeginUseProfilePoints() {}
    virtual void EndUseProfilePoints() {}
    virtual void BuildProfile() {}

    // Raises when the object refuses to be freed (a block definition still referenced). Lists
    // ask before they free an object, since a destructor cannot refuse.
    virtual void CheckCanFree() const {}

    // ComputeBox, then the change handler. Every change of geometry ends here.
    void UpdateBox();
    // The handler UpdateBox calls, null for none. Few objects have one, so it is kept in a table
    // beside the objects, and the object holds only a flag.
    void SetOnChange(THandler<void(TGraphicObject&)> handler);
    bool HasOnChange() const { return FHasOnChange; }

    // The pointers first and the small fields last: a subclass's first small field then fills
    // the padding at the end, which matters with millions of objects.
    TTreeItemHandle TreeNode = 0;
    TQV_01Cmp* Owner = nullptr;      // the drawing holding the object, not owned
    // The view's display object as BuildGL or BuildGLHighlight made it last. Weak: the view
    // frees its nodes whenever it empties a group.
    TSceneNodeHandle GLObject;
    int32_t ID;
    uint8_t Layer = 0;
    uint8_t LineWidth = 0;
    bool Visible = true;
    bool Enabled = true;
    bool ToBeSaved = true;
    bool UseLayerStyle = true;

private:
    bool FHasOnChange = false;
};

// A copy of the source's exact class: made through the ID constructor with the source's ID,
// then Assign.
std::unique_ptr<TGraphicObject> CopyGraphicObject(const TGraphicObject& source);

// A streamable class: its name and the two ways the program makes its instances.
struct TGraphicClass {
    std::string Name;
    std::function<std::unique_ptr<TGraphicObject>(int32_t id)> Create;
    std::function<std::unique_ptr<TGraphicObject>(TStreamReader& stream, const std::string& versionTag)>
        CreateFromStream;
};

// The registry entry of T, built from its ID and stream constructors.
template <class T>
TGraphicClass GraphicClassOf(std::string name)
{
    return TGraphicClass{
        std::move(name),
        [](int32_t id) -> std::unique_ptr<TGraphicObject> { return std::make_unique<T>(id); },
        [](TStreamReader& stream, const std::string& versionTag) -> std::unique_ptr<TGraphicObject> {
            return std::make_unique<T>(stream, versionTag);
        }};
}

constexpr int GraphicClassSlots = 512;

void QV_00RegisterClass(int16_t index, TGraphicClass graphicClass);
// The class stays valid until the registry is cleared.
const TGraphicClass& QV_00FindClassByIndex(int16_t index);
int16_t QV_00FindClassIndex(std::string_view className);
// The class has a stream index: its objects can be written into a stream.
bool QV_00HasClassIndex(std::string_view className);
const TGraphicClass& QV_00FindClassByName(std::string_view className);
void QV_00ClearClassRegistry();
