#include "CADExceptions.h"
#include "QVStream.h"
#include "QVVertice.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Vertice, RecordIsFortyFourBytes)
{
    TStreamWriter w;
    TAVertice::CreateFull(1, {10, 0}, {0, 0}, 7).SaveToStream(w);
    EXPECT_EQ(w.Bytes(), HexBytes("01000000"
                                  "0000000000002440 0000000000000000"
                                  "0000000000000000 0000000000000000"
                                  "07000000 FFFFFFFF"));
}

TEST(Vertice, OnlyCopiesKeepTheID)
{
    TAVertice src = TAVertice::CreateFull(-1, {1, 2}, {3, 4}, 5);
    src.ID = 42;
    struct Case {
        const char* name;
        TAVertice v;
        int32_t id;
    };
    TAVertice assigned;
    assigned.Assign(src);
    const std::vector<Case> cases = {
        {"default", TAVertice{}, -1},
        {"point and centre", TAVertice::CreatePointCentre({1, 2}, {3, 4}), -1},
        {"full", TAVertice::CreateFull(1, {1, 2}, {3, 4}, 5), -1},
        {"point", TAVertice::CreatePoint({1, 2}, 9), -1},
        {"copy", TAVertice(src), 42},
        {"assign", assigned, 42},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.v.ID, c.id);
    }
    EXPECT_EQ(assigned.Kind, -1);
    EXPECT_EQ(assigned.Centre.Y, 4);
    EXPECT_EQ(assigned.Tag, 5);
}

TEST(Vertice, StreamKeepsAnyKind)
{
    for (int32_t kind : {0, 1, -1, 2}) {
        SCOPED_TRACE(kind);
        TAVertice v = TAVertice::CreateFull(kind, {1.5, -2}, {0.25, 8}, 3);
        v.ID = 17;
        TStreamWriter w;
        v.SaveToStream(w);
        TStreamReader r(w.Bytes());
        const TAVertice back = TAVertice::CreateFromStream(r);
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(back.Kind, kind);
        EXPECT_EQ(back.Point.X, 1.5);
        EXPECT_EQ(back.Point.Y, -2);
        EXPECT_EQ(back.Centre.X, 0.25);
        EXPECT_EQ(back.Centre.Y, 8);
        EXPECT_EQ(back.Tag, 3);
        EXPECT_EQ(back.ID, 17);
    }
}

TEST(Vertice3d, RecordIsFiftySixBytesAndRoundTrips)
{
    TStreamWriter w;
    TAVertice3d::CreateFull(-1, {1, -2, 0.5}, {0.25, 0, 3}, 9).SaveToStream(w);
    const std::vector<uint8_t> expected = HexBytes("FFFFFFFF"
                                                   "000000000000F03F 00000000000000C0"
                                                   "000000000000E03F 000000000000D03F"
                                                   "0000000000000000 0000000000000840"
                                                   "09000000");
    EXPECT_EQ(w.Bytes(), expected);

    TStreamReader r(w.Bytes());
    const TAVertice3d back = TAVertice3d::CreateFromStream(r);
    EXPECT_TRUE(r.AtEnd());
    TStreamWriter again;
    back.SaveToStream(again);
    EXPECT_EQ(again.Bytes(), expected);
}

TEST(Vertice, RecordCutShortIsRefused)
{
    TStreamWriter w2;
    TAVertice::CreatePoint({1, 2}, 0).SaveToStream(w2);
    TStreamWriter w3;
    TAVertice3d::CreatePoint({1, 2, 3}).SaveToStream(w3);
    std::vector<uint8_t> b2 = w2.Bytes(), b3 = w3.Bytes();
    b2.pop_back();
    b3.pop_back();
    TStreamReader r2(b2), r3(b3);
    EXPECT_THROW(TAVertice::CreateFromStream(r2), ECADFileNotValid);
    EXPECT_THROW(TAVertice3d::CreateFromStream(r3), ECADFileNotValid);
}
