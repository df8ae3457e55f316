#pragma once
// Objects that hold other objects: a container owns its children and is drawn, picked and
// stored as one object; a block definition is a named container kept in the drawing's source
// blocks; a block reference shows a definition's children through its own transform without
// copying them.
//
// Children are placed by their own transform first and then by the enclosing object's
// (TObject2D::GetModelTransformIn): display, picking and boxes all compose that way, so a
// nested reference is shown where it is picked.
#include "QVList.h"
#include "QVObject2D.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A block name as stored: 13 Windows-1252 bytes, zero-padded, compared as raw bytes.
using TBlockName = std::array<char, 13>;

// The first 13 bytes of S in Windows-1252, zero-padded.
void StrToBlockName(const std::string& S, TBlockName& Name);
TBlockName StrToBlockName(const std::string& S);
// The name as UTF-8, without the padding.
std::string BlockNameToStr(const TBlockName& Name);

class TContainer2D : public TObject2D {
public:
    explicit TContainer2D(int32_t id);
    // Owns the given objects in order; null entries are skipped.
    TContainer2D(int32_t id, std::vector<std::unique_ptr<TGraphicObject>> objects);
    TContainer2D(TStreamReader& stream, const std::string& versionTag);

    std::string_view ClassName() const override { return "TContainer2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // The union of the children's boxes, through the container's transform.
    void ComputeBox() override;
    void BuildGL() override;
    void BuildGLHighlight() override;
    // The children through the container's transform (M first for the transformed form).
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    void DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m) override;
    void SaveToStream(TStreamWriter& stream) override;
    // Copies the children (each by its own class); BasePoint is not copied.
    void Assign(const TGraphicObject& source) override;
    // Within the box: the ID of the nearest child hit (the first on a tie), else HitInsideBox
    // with Dist = 2 x Aperture.
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;

    void SetBasePoint(double X, double Y) { BasePoint = {X, Y, 1}; }

    TGraphicObjList Objects;
    // The point by which positioning tasks carry the container; not stored.
    TPoint2D BasePoint{0, 0, 0};

protected:
    // Children's records: Int32 count, then per child its class index and record.
    void ReadChildren(TStreamReader& stream, const std::string& versionTag);
};

class TSourceBlock2D : public TContainer2D {
public:
    explicit TSourceBlock2D(int32_t id);
    TSourceBlock2D(int32_t id, const TBlockName& name, std::vector<std::unique_ptr<TGraphicObject>> objects);
    TSourceBlock2D(TStreamReader& stream, const std::string& versionTag);

    std::string_view ClassName() const override { return "TSourceBlock2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    void SaveToStream(TStreamWriter& stream) override;
    // A definition that references still use refuses to be freed.
    void CheckCanFree() const override;

    // Block references bound to this definition. Not stored, so wider than a file would need.
    int32_t References = 0;
    TBlockName Name{};
    // Came from the block library; never written into drawings.
    bool IsLibrary = false;
};

class TBlock2D : public TObject2D {
public:
    // Unbound, with an empty name: the copy idiom's start.
    explicit TBlock2D(int32_t id);
    // Bound to Source; null raises.
    TBlock2D(int32_t id, TSourceBlock2D* source);
    // Unbound; bound later by name (UpdateReference) or SetSourceBlock.
    TBlock2D(int32_t id, const TBlockName& name);
    TBlock2D(TStreamReader& stream, const std::string& versionTag);
    ~TBlock2D() override;

    std::string_view ClassName() const override { return "TBlock2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    void ComputeBox() override;
    void BuildGL() override;
    // The definition's children through the reference's transform (M first for the
    // transformed form).
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    void DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m) override;
    void SaveToStream(TStreamWriter& stream) override;
    // Binds to the other reference's definition; from an unbound one it takes the name and
    // stays unbound.
    void Assign(const TGraphicObject& source) override;
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;

    void SetSourceBlock(TSourceBlock2D* source);
    // Binds to the first definition of the iterator's list with SourceName.
    void UpdateReference(TGraphicObjIterator& iterator);
    // Releases the definition; the reference keeps its name.
    void Unbind();

    TSourceBlock2D* Source() const { return FSource; }

    TBlockName SourceName{};
    TPoint2D Origin{0, 0, 1};

protected:
    // Recomputes the definition's box; TInsert does it without the definition's change event.
    virtual void RefreshSourceBox();

private:
    void Bind(TSourceBlock2D* source);

    TSourceBlock2D* FSource = nullptr;  // not owned; it counts this reference
};

// The block reference the DXF reader makes.
class TInsert : public TBlock2D {
public:
    using TBlock2D::TBlock2D;

    std::string_view ClassName() const override { return "TInsert"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

protected:
    void RefreshSourceBox() override;
};

// Binds every block reference inside Container (nested containers and definitions included) to
// the definitions of Iterator's list, then recomputes the container's box. A name that no
// definition carries raises ECADListObjNotFound.
void ResolveBlockReferences(TContainer2D& Container, TGraphicObjIterator& Iterator);
// Calls Visit for every block reference inside Container, nested containers and definitions
// included.
void VisitBlockReferences(TContainer2D& Container, const std::function<void(TBlock2D&)>& Visit);
// Releases every block reference inside Container from its definition.
void UnbindBlockReferences(TContainer2D& Container);

// An object's class index and record, as containers, drawings and libraries store them.
void SaveIndexedObject(TStreamWriter& stream, TGraphicObject& obj);
