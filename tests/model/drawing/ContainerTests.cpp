#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "SceneViewer.h"
#include "TestMark.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using ContainerTest = DrawingClasses;

std::vector<std::unique_ptr<TGraphicObject>> Children(std::unique_ptr<TGraphicObject> a,
                                                      std::unique_ptr<TGraphicObject> b = nullptr,
                                                      std::unique_ptr<TGraphicObject> c = nullptr)
{
    std::vector<std::unique_ptr<TGraphicObject>> v;
    v.push_back(std::move(a));
    v.push_back(std::move(b));
    v.push_back(std::move(c));
    return v;
}

void ExpectPoint(const TPoint2D& p, double x, double y)
{
    EXPECT_NEAR(p.X, x, 1e-12);
    EXPECT_NEAR(p.Y, y, 1e-12);
}

TMatrix4 Rotation90() { return TMatrix4::CreateRotation(true, 90); }

}  // namespace

TEST_F(ContainerTest, NullEntriesAreSkippedAndTheBoxIsTheUnion)
{
    TContainer2D c(1, Children(Mark(1, 2, 10), nullptr, Mark(5, -3, 11)));
    EXPECT_EQ(c.Objects.Count(), 2);
    ExpectPoint(c.Box.First, 1, -3);
    ExpectPoint(c.Box.Second, 5, 2);

    TContainer2D empty(2);
    empty.UpdateBox();
    ExpectPoint(empty.Box.First, 0, 0);
    ExpectPoint(empty.Box.Second, 0, 0);
    c.Assign(empty);
    EXPECT_EQ(c.Objects.Count(), 0);
}

TEST_F(ContainerTest, AssignCopiesEachChildByItsClassAndRefusesAnExclusiveSource)
{
    TContainer2D source(1, Children(Mark(1, 1, 4), Mark(2, 2, 5)));
    TContainer2D target(2, Children(Mark(9, 9, 6)));
    target.Assign(source);
    auto it = target.Objects.GetIterator();
    auto* first = dynamic_cast<TTestMark*>(it.First());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->ID, 4);
    EXPECT_EQ(first->P.X, 1);
    EXPECT_EQ(target.Objects.Count(), 2);

    auto lock = source.Objects.GetExclusiveIterator();
    TContainer2D other(3);
    ExpectError<ECADListBlocked>([&] { other.Assign(source); },
                                 "TContainer2D.Assign: The list has an exclusive iterator.");
}

TEST_F(ContainerTest, HitTestReturnsTheNearestChildTheFirstOnATie)
{
    struct TCase {
        const char* Name;
        TPoint2D Pt;
        int32_t Code;
        double Dist;
    };
    // Children 10 at (0, 0), 11 at (2, 0) and 12 at (10, 0); aperture 1.
    const std::vector<TCase> cases = {
        {"the nearer of two", {1.2, 0, 1}, 11, 0.8},
        {"a tie goes to the first", {1, 0, 1}, 10, 1},
        {"inside the box, near no child", {6, 0.5, 1}, HitInsideBox, 2},
        {"outside the box", {6, 5, 1}, HitMiss, 1e8},
    };
    TContainer2D c(1, Children(Mark(0, 0, 10), Mark(2, 0, 11), Mark(10, 0, 12)));
    for (const TCase& k : cases) {
        SCOPED_TRACE(k.Name);
        double d = 0;
        EXPECT_EQ(c.HitTest(k.Pt, d, 1), k.Code);
        EXPECT_NEAR(d, k.Dist, 1e-12);
    }
}

// A child's own transform acts first, then its container's; display builds, boxes and picks
// must all agree on where that puts the child, also through nested block references.
TEST_F(ContainerTest, ChildTransformsComposeTheSameForDisplayBoxAndPick)
{
    auto child = Mark(1, 0, 7);
    child->SetBaseTransform(TMatrix4::CreateTranslation(0, 5, 0));  // child point at (1, 5)
    child->UpdateBox();
    TContainer2D c(1, Children(std::move(child)));
    c.SetBaseTransform(Rotation90());  // then turned: (-5, 1)
    c.TransformBy(TMatrix4::CreateTranslation(10, 0, 0));  // then moved: (5, 1)
    c.UpdateBox();

    c.BuildGL();
    ASSERT_EQ(TTestMark::Built.size(), 1u);
    ExpectPoint(TTestMark::Built[0], 5, 1);
    ExpectPoint(c.Box.First, 5, 1);
    double d = 0;
    EXPECT_EQ(c.HitTest({5, 1, 1}, d, 0.1), 7);
    // The child keeps its own placement after the build.
    auto it = c.Objects.GetIterator();
    auto* kept = static_cast<TTestMark*>(it.First());
    EXPECT_EQ(kept->ModelTransform(), nullptr);
    ASSERT_NE(kept->BaseTransform(), nullptr);
    EXPECT_TRUE(kept->BaseTransform()->IsEqual(TMatrix4::CreateTranslation(0, 5, 0)));

    // A definition whose child is a reference to another definition, shown through a reference.
    TSourceBlock2D inner(1, StrToBlockName("INNER"), Children(Mark(1, 0, 3)));
    auto nested = std::make_unique<TBlock2D>(4, &inner);
    nested->SetBaseTransform(TMatrix4::CreateTranslation(0, 2, 0));  // (1, 2)
    nested->UpdateBox();
    TSourceBlock2D outer(2, StrToBlockName("OUTER"), Children(std::move(nested)));
    TBlock2D ref(5, &outer);
    ref.SetBaseTransform(Rotation90());  // (-2, 1)
    ref.UpdateBox();
    TTestMark::Built.clear();
    ref.BuildGL();
    ASSERT_EQ(TTestMark::Built.size(), 1u);
    ExpectPoint(TTestMark::Built[0], -2, 1);
    ExpectPoint(ref.Box.First, -2, 1);
    EXPECT_EQ(ref.HitTest({-2, 1.05, 1}, d, 0.1), 4);
}

namespace {

class TNullCanvas : public TCanvas2D {
public:
    int Width() const override { return 100; }
    int Height() const override { return 100; }
    void SetPenColor(uint32_t) override {}
    uint32_t PenColor() const override { return 0; }
    void SetPenWidth(int) override {}
    int PenWidth() const override { return 1; }
    void Line(int, int, int, int) override {}
    void Polyline(const TPoint*, size_t) override {}
};

} // namespace

// The overlay of a previewed container, drawn every frame, gave each child the composed placement
// and then its own back: every child's box was computed twice a frame and its change event fired.
TEST_F(ContainerTest, OverlaysComposeWithoutTouchingTheChildren)
{
    auto made = Mark(1, 0, 7);
    made->SetBaseTransform(TMatrix4::CreateTranslation(0, 5, 0)); // (1, 5)
    TTestMark* child = made.get();
    int changes = 0;
    child->SetOnChange([&](TGraphicObject&) { ++changes; });
    TContainer2D c(1, Children(std::move(made)));
    c.SetBaseTransform(Rotation90()); // (-5, 1)
    c.UpdateBox();
    TSourceBlock2D def(2, StrToBlockName("DEF"), Children(Mark(1, 0, 3)));
    TBlock2D ref(4, &def);
    ref.SetBaseTransform(TMatrix4::CreateTranslation(0, 2, 0)); // (1, 2)
    ref.UpdateBox();
    TTestMark::BoxesComputed = 0;

    TNullCanvas canvas;
    c.DrawOverlay(canvas, true);
    c.DrawOverlayTransformed(canvas, TMatrix4::CreateTranslation(10, 0, 0)); // (11, 5) turned
    ref.DrawOverlay(canvas, false);
    ref.DrawOverlayTransformed(canvas, Rotation90()); // turned, then moved up: (0, 3)
    ASSERT_EQ(TTestMark::Overlaid.size(), 4u);
    ExpectPoint(TTestMark::Overlaid[0], -5, 1);
    ExpectPoint(TTestMark::Overlaid[1], -5, 11);
    ExpectPoint(TTestMark::Overlaid[2], 1, 2);
    ExpectPoint(TTestMark::Overlaid[3], 0, 3);
    EXPECT_EQ(TTestMark::BoxesComputed, 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(child->ModelTransform(), nullptr);
}

TEST_F(ContainerTest, ReferenceOriginAndBindingRules)
{
    TSourceBlock2D def(1, StrToBlockName("B"), Children(Mark(5, 5, 3), Mark(6, 6, 4)));
    TBlock2D ref(2, &def);
    EXPECT_EQ(def.References, 1);
    ref.Origin = {5.5, 5.5, 1};
    double d = 0;
    // The origin within the aperture answers -1 where no child lies.
    EXPECT_EQ(ref.HitTest({5.55, 5.5, 1}, d, 0.1), HitOutline);
    EXPECT_NEAR(d, 0.05, 1e-12);

    ExpectError<ECADCoreException>([] { TBlock2D bad(1, static_cast<TSourceBlock2D*>(nullptr)); },
                                    "TBlock2D.Create: Invalid parameter");
    ExpectError<ECADCoreException>([&] { ref.SetSourceBlock(nullptr); }, "TBlock2D.SetSourceBlock: Invalid parameter");
    ref.SetSourceBlock(&def);  // the same definition counts once
    EXPECT_EQ(def.References, 1);

    // Unbound references: never hit, no box of their own; copying one copies its name only.
    TBlock2D unbound(7, StrToBlockName("LATER"));
    unbound.Origin = {1, 2, 1};
    EXPECT_EQ(unbound.HitTest({0, 0, 1}, d, 100), HitMiss);
    TBlock2D copy(8, &def);
    copy.Assign(unbound);
    EXPECT_EQ(copy.Source(), nullptr);
    EXPECT_EQ(copy.SourceName, StrToBlockName("LATER"));
    EXPECT_EQ(copy.Origin.Y, 2);
    EXPECT_EQ(def.References, 1);
    copy.Assign(ref);
    EXPECT_EQ(copy.Source(), &def);
    EXPECT_EQ(def.References, 2);
    const std::unique_ptr<TGraphicObject> clone = CopyGraphicObject(ref);
    EXPECT_EQ(def.References, 3);
}

TEST_F(ContainerTest, BlockNamesAreThirteenZeroPaddedBytes)
{
    EXPECT_EQ(BlockNameToStr(StrToBlockName("ABCDEFGHIJKLMNOPQRST")), "ABCDEFGHIJKLM");
    const TBlockName shortName = StrToBlockName("abc");
    EXPECT_EQ(std::string(shortName.data(), 13), std::string("abc") + std::string(10, '\0'));
    EXPECT_EQ(BlockNameToStr(StrToBlockName("Tür")), "Tür");
}

TEST_F(ContainerTest, ReferencesInsidePlainContainersAreBoundToo)
{
    TGraphicObjList defs;
    defs.Add(std::make_unique<TSourceBlock2D>(1, StrToBlockName("D"), Children(Mark(1, 1))));
    auto ref = std::make_unique<TInsert>(2, StrToBlockName("D"));
    TBlock2D* raw = ref.get();
    auto inner = std::make_unique<TContainer2D>(3, Children(std::move(ref)));
    TContainer2D outer(4, Children(std::move(inner)));
    {
        auto it = defs.GetIterator();
        ResolveBlockReferences(outer, it);
    }
    ASSERT_NE(raw->Source(), nullptr);
    EXPECT_EQ(raw->Source()->References, 1);
    ExpectPoint(outer.Box.First, 1, 1);

    TContainer2D missing(5, Children(std::make_unique<TBlock2D>(6, StrToBlockName("NONE"))));
    auto it = defs.GetIterator();
    ExpectError<ECADListObjNotFound>([&] { ResolveBlockReferences(missing, it); },
                                     "TBlock2D.UpdateReference: Source block not found");
}

TEST_F(ContainerTest, StreamRoundTripKeepsChildrenAndNames)
{
    TSourceBlock2D def(1, StrToBlockName("PART-7"), Children(Mark(1, 2, 3), std::make_unique<TContainer2D>(
                                                                                  4, Children(Mark(3, 4, 5)))));
    def.IsLibrary = true;
    def.ToBeSaved = false;
    TStreamWriter w;
    SaveIndexedObject(w, def);
    TStreamReader r(w.Bytes());
    const int16_t index = r.ReadInt16();
    EXPECT_EQ(index, 1);
    const std::unique_ptr<TGraphicObject> back = QV_00FindClassByIndex(index).CreateFromStream(r, CurrentVersionTag);
    EXPECT_TRUE(r.AtEnd());
    auto& block = dynamic_cast<TSourceBlock2D&>(*back);
    EXPECT_EQ(block.Name, def.Name);
    EXPECT_TRUE(block.IsLibrary);
    EXPECT_FALSE(block.ToBeSaved);
    EXPECT_EQ(block.Objects.Count(), 2);
    ExpectPoint(block.Box.Second, 3, 4);
    TStreamWriter again;
    SaveIndexedObject(again, block);
    EXPECT_EQ(again.Bytes(), w.Bytes());

    // A count larger than the data can hold is refused before anything is read.
    std::vector<uint8_t> bytes = w.Bytes();
    const size_t countAt = 2 + 6 + 128;
    bytes[countAt + 3] = 0x40;
    TStreamReader bad(bytes);
    bad.ReadInt16();
    EXPECT_THROW(QV_00FindClassByIndex(1).CreateFromStream(bad, CurrentVersionTag), ECADFileNotValid);
}

// A damaged file could nest containers deeper than the reader's stack holds.
TEST_F(ContainerTest, ContainersNestedTooDeepAreRefused)
{
    const auto nested = [](int depth) {
        TStreamWriter w;
        for (int i = 0; i < depth; ++i) {
            TObject2D(i).SaveToStream(w);  // the container's own record ...
            w.WriteInt32(i + 1 < depth ? 1 : 0);  // ... and one child, the next level
            if (i + 1 < depth)
                w.WriteInt16(0);
        }
        return w.TakeBytes();
    };
    const std::vector<uint8_t> fine = nested(200);
    TStreamReader ok(fine);
    EXPECT_NO_THROW(TContainer2D c(ok, CurrentVersionTag));
    const std::vector<uint8_t> deep = nested(300);
    TStreamReader bad(deep);
    EXPECT_THROW(TContainer2D c(bad, CurrentVersionTag), ECADFileNotValid);
}
