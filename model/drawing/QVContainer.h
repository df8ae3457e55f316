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
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// A block name as stored: 13 Windows-1252 bytes, zero-padded, compared as raw bytes.
using TBlockName = std::array<char, 13>;

// How deep containers and block references may nest, in a record and through references:
// display, picking and the overlay walk that deep on the stack.
constexpr int MaxNestingDepth = 256;

// The first 13 bytes of S in Windows-1252, zero-padded.
void StrToBlockName(const std::string& S, TBlockName& Name);
TBlockName StrToBlockName(const std::string& S);
// The name as UTF-8, without the padding.
std::string BlockNameToStr(const TBlockName& Name);

class TBlockIndex;

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
    // The children's outlines through the container's transform.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    // Each child through its own transform and then Placement.
    void DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement) override;
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
    // The levels a walk through the definition goes down (NestingDepth), kept when it joins a
    // drawing so that the depth of a reference costs no walk down a chain of definitions.
    int32_t Depth = 1;
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
    // The definition's children's outlines through the reference's transform.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    // The definition's children through the definition's transform and then Placement.
    void DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement) override;
    void SaveToStream(TStreamWriter& stream) override;
    // Binds to the other reference's definition; from an unbound one it takes the name and
    // stays unbound.
    void Assign(const TGraphicObject& source) override;
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;

    void SetSourceBlock(TSourceBlock2D* source);
    // Binds to the first definition of the iterator's list with SourceName.
    void UpdateReference(TGraphicObjIterator& iterator);
    // Binds to the definition the index gives for SourceName.
    void UpdateReference(const TBlockIndex& index);
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

// Block definitions by name, for binding references without a walk over every definition.
// Where a name repeats, the first added wins; a name not held here is looked up in the
// fallback index, when there is one.
class TBlockIndex {
public:
    explicit TBlockIndex(const TBlockIndex* fallback = nullptr) : Fallback(fallback) {}
    void Add(TSourceBlock2D& block) { ByName.try_emplace(block.Name, &block); }
    // Every definition of the iterator's list, in its order.
    void AddAll(TGraphicObjIterator& iterator);
    TSourceBlock2D* Find(const TBlockName& name) const;

private:
    struct THash {
        size_t operator()(const TBlockName& name) const;
    };
    std::unordered_map<TBlockName, TSourceBlock2D*, THash> ByName;
    const TBlockIndex* Fallback;
};

// Binds every block reference inside Container (nested containers and definitions included) to
// the definitions of Iterator's list, then recomputes the container's box. A name that no
// definition carries raises ECADListObjNotFound.
void ResolveBlockReferences(TContainer2D& Container, TGraphicObjIterator& Iterator);
void ResolveBlockReferences(TContainer2D& Container, const TBlockIndex& Index);
// The levels a walk through Obj goes down: 1 for a plain object, one more than the deepest
// child for a container, one more than its definition's Depth for a bound reference.
int NestingDepth(const TGraphicObject& Obj);
// What the objects read from one file may show together. A reference shows everything its block
// holds, nested references included, so a few definitions that each use the one before ten
// times would be shown as millions of objects from a file of a few kilobytes; the budget is
// bounded by the size of the file instead, generously for any drawing made by hand or traced.
class TExpansionBudget {
public:
    explicit TExpansionBudget(uint64_t FileBytes);
    // The weight fits what is left.
    bool Fits(uint64_t Weight) const { return Weight <= FLeft; }
    // Takes Weight from what is left; false, taking nothing, when it does not fit.
    bool Take(uint64_t Weight);
    // What a file of the size may show at most.
    uint64_t Total() const { return FTotal; }

private:
    uint64_t FTotal;
    uint64_t FLeft;
};

// The objects that showing what one file holds walks, to weigh against its budget: 1 for a
// plain object, 1 and its children's for a container, its definition's weight for a bound
// reference. A definition of the file weighs what it holds; one the drawing held before (the
// block library's, those not saved with drawings) weighs 1, as it was weighed when it was read
// and the file cannot make it heavier. Each definition of the file is weighed once; sums
// saturate instead of wrapping.
class TFileWeights {
public:
    explicit TFileWeights(std::function<bool(const TSourceBlock2D&)> OfTheFile)
        : OfTheFile(std::move(OfTheFile))
    {
    }
    uint64_t Of(const TGraphicObject& Obj);

private:
    std::function<bool(const TSourceBlock2D&)> OfTheFile;
    std::unordered_map<const TSourceBlock2D*, uint64_t> Definitions;
};

// Calls Visit for every block reference inside Container, nested containers and definitions
// included.
void VisitBlockReferences(TContainer2D& Container, const std::function<void(TBlock2D&)>& Visit);
// Releases every block reference inside Container from its definition.
void UnbindBlockReferences(TContainer2D& Container);

// An object's class index and record, as containers, drawings and libraries store them.
void SaveIndexedObject(TStreamWriter& stream, TGraphicObject& obj);
