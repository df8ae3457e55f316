#include "CADExceptions.h"
#include "QVMatrix.h"
#include "QVSys.h"
#include "SavedBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A streamed subclass that counts its box computations, as an entity would.
class TBoxCounter : public TGraphicObject {
public:
    using TGraphicObject::TGraphicObject;
    std::string_view ClassName() const override { return "TBoxCounter"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override
    {
        return std::make_unique<TBoxCounter>(id);
    }
    void ComputeBox() override { ++BoxComputations; }
    int BoxComputations = 0;
};

}  // namespace

TEST(GraphicObject, RecordHoldsIdLayerAndFlags)
{
    struct Case {
        const char* name;
        bool visible, enabled, toBeSaved;
        uint8_t flags;
    };
    const Case cases[] = {
        {"defaults", true, true, true, 0x03},
        {"hidden", false, true, true, 0x02},
        {"disabled", true, false, true, 0x01},
        {"not to be saved", true, true, false, 0x07},
        {"nothing set", false, false, false, 0x04},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGraphicObject obj(0x01020304);
        obj.Layer = 200;
        obj.Visible = c.visible;
        obj.Enabled = c.enabled;
        obj.ToBeSaved = c.toBeSaved;
        const std::vector<uint8_t> bytes = Saved(obj);
        EXPECT_EQ(bytes, (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01, 200, c.flags}));

        TStreamReader r(bytes);
        TGraphicObject back(r, "QV-003");
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(back.ID, 0x01020304);
        EXPECT_EQ(back.Layer, 200);
        EXPECT_EQ(back.Visible, c.visible);
        EXPECT_EQ(back.Enabled, c.enabled);
        EXPECT_EQ(back.ToBeSaved, c.toBeSaved);
    }
}

TEST(GraphicObject, OwnStyleIsNotStoredAndReadsBackAsLayerStyle)
{
    TGraphicObject obj(7);
    obj.UseLayerStyle = false;
    obj.LineWidth = 3;
    obj.TreeNode = 99;
    const std::vector<uint8_t> bytes = Saved(obj);
    TStreamReader r(bytes);
    TGraphicObject back(r, "QV-003");
    EXPECT_TRUE(back.UseLayerStyle);
    EXPECT_EQ(back.LineWidth, 0);
    EXPECT_EQ(back.TreeNode, 0u);
    EXPECT_FALSE(back.HasOnChange());
}

TEST(GraphicObject, UnusedFlagBitsAreIgnoredOnReading)
{
    const std::vector<uint8_t> bytes = {1, 0, 0, 0, 4, 0xF8};
    TStreamReader r(bytes);
    TGraphicObject obj(r, "QV-003");
    EXPECT_FALSE(obj.Visible);
    EXPECT_FALSE(obj.Enabled);
    EXPECT_TRUE(obj.ToBeSaved);
}

TEST(GraphicObject, TruncatedRecordIsRefused)
{
    const std::vector<uint8_t> bytes = {1, 0, 0, 0, 4};
    TStreamReader r(bytes);
    EXPECT_THROW(TGraphicObject(r, "QV-003"), ECADFileNotValid);
}

TEST(GraphicObject, AssignCopiesFlagsOnly)
{
    TGraphicObject source(1);
    source.Layer = 5;
    source.LineWidth = 2;
    source.UseLayerStyle = false;
    source.Visible = false;
    source.Enabled = false;
    source.ToBeSaved = false;
    source.TreeNode = 11;

    TGraphicObject target(2);
    target.Layer = 9;
    target.Assign(source);
    EXPECT_EQ(target.ID, 2);
    EXPECT_EQ(target.Layer, 9);
    EXPECT_EQ(target.LineWidth, 0);
    EXPECT_TRUE(target.UseLayerStyle);
    EXPECT_EQ(target.TreeNode, 0u);
    EXPECT_FALSE(target.Visible);
    EXPECT_FALSE(target.Enabled);
    EXPECT_FALSE(target.ToBeSaved);
}

TEST(GraphicObject, UpdateBoxComputesThenNotifies)
{
    TBoxCounter obj(1);
    int seenComputations = -1;
    obj.SetOnChange([&](TGraphicObject& sender) {
        seenComputations = static_cast<TBoxCounter&>(sender).BoxComputations;
    });
    obj.UpdateBox();
    EXPECT_EQ(seenComputations, 1);
}

TEST(GraphicObject, CopyIsOfTheExactClassWithSourceIdAndFlags)
{
    TBoxCounter source(42);
    source.Layer = 3;
    source.Enabled = false;
    const std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(source);
    ASSERT_NE(dynamic_cast<TBoxCounter*>(copy.get()), nullptr);
    EXPECT_EQ(copy->ID, 42);
    EXPECT_EQ(copy->Layer, 0);  // the layer is the drawing's to give
    EXPECT_FALSE(copy->Enabled);
}

TEST(GraphicObject, PlainObjectHasNoTransformAndIsNeverHit)
{
    TGraphicObject obj(1);
    EXPECT_FALSE(obj.HasTransform());
    EXPECT_TRUE(obj.GetModelTransform().IsEqual(IdentityMatrix));
    double dist = 0;
    EXPECT_EQ(obj.HitTest(TPoint2D{}, dist, 5), HitMiss);
    EXPECT_EQ(dist, 1e8);
}
