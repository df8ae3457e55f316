// The placement of an opened file: origin choices, size with the ratio lock, the picture's
// resolution, the origin picked in the view, rotation, one matrix however often it is applied,
// and the preview box around what is placed.
#include "VecRasInfo.h"

#include "QVCmp.h"
#include "QVEntity.h"
#include "QVScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

// A drawing whose extents are (10, 20)-(110, 70): one line corner to corner.
struct TPlaced {
    TQV_01Cmp2D Drawing;
    TVecRasPlacement Placement{Drawing};
    TPlaced()
    {
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{10, 20, 1}, TPoint2D{110, 70, 1}));
        Placement.SetupSvg();
    }
    TRect2D Extents()
    {
        TRect2D r;
        Drawing.GetExtents(r);
        return r;
    }
};

void ExpectBox(const TRect2D& R, double X1, double Y1, double X2, double Y2)
{
    EXPECT_NEAR(R.First.X, X1, 1e-9);
    EXPECT_NEAR(R.First.Y, Y1, 1e-9);
    EXPECT_NEAR(R.Second.X, X2, 1e-9);
    EXPECT_NEAR(R.Second.Y, Y2, 1e-9);
}

} // namespace

TEST(Placement, OriginChoicesMoveTheChosenPointToZero)
{
    TPlaced p;
    EXPECT_DOUBLE_EQ(p.Placement.SizeX, 100);
    EXPECT_DOUBLE_EQ(p.Placement.SizeY, 50);
    EXPECT_EQ(DlgOpenGeo, &p.Placement);

    // The file's own zero: nothing moves.
    p.Placement.ApplyClick();
    EXPECT_TRUE(p.Placement.Placement.IsEqual(IdentityMatrix));
    ExpectBox(p.Extents(), 10, 20, 110, 70);

    p.Placement.SetOriginByCorner(ocBottomLeft);
    EXPECT_FALSE(p.Placement.IsApplied());
    p.Placement.ApplyClick();
    EXPECT_TRUE(p.Placement.IsApplied());
    ExpectBox(p.Extents(), 0, 0, 100, 50);

    // The centre: the move before is undone first, so (60, 45) of the file lands on (0, 0).
    p.Placement.SetOriginByCorner(ocCentre);
    p.Placement.ApplyClick();
    ExpectBox(p.Extents(), -50, -25, 50, 25);

    p.Placement.SetOriginByCorner(ocTopRight);
    p.Placement.ApplyClick();
    ExpectBox(p.Extents(), -100, -50, 0, 0);

    // A typed origin, in scaled units.
    p.Placement.SetOriginTyped(0, 30);
    p.Placement.SetOriginTyped(1, 40);
    EXPECT_TRUE(p.Placement.OriginManual);
    p.Placement.ApplyClick();
    ExpectBox(p.Extents(), -20, -20, 80, 30);
}

TEST(Placement, SizeWithAndWithoutTheRatioLock)
{
    TPlaced p;
    ASSERT_TRUE(p.Placement.SetSize(0, 200));
    EXPECT_DOUBLE_EQ(p.Placement.Scale.X, 2);
    EXPECT_DOUBLE_EQ(p.Placement.Scale.Y, 2);
    EXPECT_DOUBLE_EQ(p.Placement.ScaledSize(1), 100);
    p.Placement.SetOriginByCorner(ocBottomLeft);
    p.Placement.ApplyClick();
    ExpectBox(p.Extents(), 0, 0, 200, 100);

    p.Placement.SetRatioLock(false);
    ASSERT_TRUE(p.Placement.SetSize(1, 25));
    EXPECT_DOUBLE_EQ(p.Placement.Scale.X, 2);
    EXPECT_DOUBLE_EQ(p.Placement.Scale.Y, 0.5);
    p.Placement.ApplyClick();
    ExpectBox(p.Extents(), 0, 0, 200, 25);
}

TEST(Placement, RefusesSizesThatCannotBeUndone)
{
    // A size of 0 would flatten the drawing for good, and an axis of size 0 (Z of a flat file)
    // would put infinities into every object.
    TPlaced p;
    for (const double bad : {0.0, -5.0, double(NAN), double(INFINITY)}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(p.Placement.SetSize(0, bad));
    }
    EXPECT_FALSE(p.Placement.AxisSizable(2));
    EXPECT_FALSE(p.Placement.SetSize(2, 10));
    EXPECT_DOUBLE_EQ(p.Placement.Scale.X, 1);
    EXPECT_DOUBLE_EQ(p.Placement.Scale.Z, 1);
    EXPECT_TRUE(p.Placement.IsApplied());
}

TEST(Placement, ApplyRepeatedEqualsApplyOnce)
{
    TPlaced p;
    ASSERT_TRUE(p.Placement.SetSize(0, 300));
    p.Placement.SetRotation(30);
    p.Placement.SetOriginByCorner(ocCentre);
    p.Placement.ApplyClick();
    const TRect2D once = p.Extents();
    for (int i = 0; i < 20; ++i)
        p.Placement.ApplyClick();
    const TRect2D again = p.Extents();
    EXPECT_NEAR(again.First.X, once.First.X, 1e-6);
    EXPECT_NEAR(again.First.Y, once.First.Y, 1e-6);
    EXPECT_NEAR(again.Second.X, once.Second.X, 1e-6);
    EXPECT_NEAR(again.Second.Y, once.Second.Y, 1e-6);
}

TEST(Placement, RotationKeepsTheScaledDrawingBesideItsOrigin)
{
    // Turned by 90 degrees about its own zero and doubled, the drawing's box starts at (0, 0):
    // the box the turn is corrected by is that of the scaled drawing.
    TPlaced p;
    ASSERT_TRUE(p.Placement.SetSize(0, 200));
    p.Placement.SetRotation(90);
    p.Placement.ApplyClick();
    ExpectBox(p.Extents(), 0, 0, 100, 200);
}

TEST(Placement, PickedOriginAddsThePointInFileUnits)
{
    TPlaced p;
    p.Placement.SetOriginByCorner(ocBottomLeft);
    ASSERT_TRUE(p.Placement.SetSize(0, 200));
    p.Placement.ApplyClick();
    p.Placement.SetOriginPoint({5, 5, 1});
    EXPECT_DOUBLE_EQ(p.Placement.Origin.X, 12.5);
    EXPECT_DOUBLE_EQ(p.Placement.Origin.Y, 22.5);
    p.Placement.ApplyClick();
    ExpectBox(p.Extents(), -5, -5, 195, 95);
}

TEST(Placement, PictureSizedByItsResolution)
{
    struct TCase {
        const char* Name;
        int32_t Dpi;
        uint8_t Units;
        double Scale;
    };
    const TCase cases[] = {
        {"300 dpi in millimetres", 300, 1, 25.4 / 300},
        {"300 dpi in inches", 300, 0, 1.0 / 300},
        {"unknown resolution", 0, 1, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D drawing;
        TVecRasPlacement placement(drawing);
        placement.ResolutionX = c.Dpi;
        placement.SetImageSize(600, 300, c.Units);
        EXPECT_DOUBLE_EQ(placement.Scale.X, c.Scale);
        EXPECT_DOUBLE_EQ(placement.Scale.Y, c.Scale);
        EXPECT_NEAR(placement.ScaledSize(0), 600 * c.Scale, 1e-9);
        EXPECT_NEAR(placement.ScaledSize(1), 300 * c.Scale, 1e-9);
    }
}

TEST(Placement, ThePreviewBoxFramesWhatIsPlacedAndGoesWithThePlacement)
{
    TQV_01Cmp2D drawing;
    drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{10, 20, 1}, TPoint2D{110, 70, 1}));
    TQVScene view;
    view.AttachDrawing(&drawing);
    DrawingView = &view;
    const auto corners = [](const TLineStrip* Box) {
        const std::vector<TVector3f>& n = Box->Nodes();
        EXPECT_EQ(n.size(), 5u);
        return TRect2D{{n[0].X, n[0].Y, 1}, {n[2].X, n[2].Y, 1}};
    };
    {
        TVecRasPlacement placement(drawing);
        placement.SetupSvg();
        const TLineStrip* box = placement.PreviewBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->Parent(), view.Group3D);
        ExpectBox(corners(box), 10, 20, 110, 70);

        // Scaled and placed by its bottom-left corner: the box follows.
        ASSERT_TRUE(placement.SetSize(0, 200));
        placement.SetOriginByCorner(ocBottomLeft);
        placement.ApplyClick();
        ASSERT_EQ(placement.PreviewBox(), box);
        ExpectBox(corners(box), 0, 0, 200, 100);

        // The view renews its 3D group: the box goes, and the next Apply makes another.
        view.RebuildAll(true);
        EXPECT_EQ(placement.PreviewBox(), nullptr);
        placement.ApplyClick();
        ASSERT_NE(placement.PreviewBox(), nullptr);
    }
    for (int i = 0; i < view.Group3D->Count(); ++i)
        EXPECT_NE(view.Group3D->Child(i)->Name, "PreviewBox");
    DrawingView = nullptr;
}
