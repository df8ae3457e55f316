#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVLayers.h"
#include "SavedBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Which optional fields a record of a given tag carries.
struct TRecordShape {
    bool Obsolete, Dashes, Visible, Streamable, Name;
};

TRecordShape ShapeOf(const std::string& tag)
{
    return {TagBelow(tag, "CAD422"), TagAtLeast(tag, "CAD41"), TagAtLeast(tag, "CAD4"),
            tag == "CAD3  " || TagAtLeast(tag, "CAD33"), TagAtLeast(tag, "CAD33") && tag != "CAD3  "};
}

// A record written field by field as a file of that tag holds it: colour 0x123456, width 3,
// dash bits 1 0 1, inactive, hidden, reserved, not streamable, name "Wall".
std::vector<uint8_t> RecordFor(const TRecordShape& s)
{
    TStreamWriter w;
    w.WriteInt32(0x123456);
    w.WriteByte(2);  // pen style
    w.WriteByte(7);  // pen mode
    w.WriteInt32(3);
    w.WriteInt32(0x00FF00);
    w.WriteByte(1);  // brush style
    if (s.Obsolete)
        w.WriteInt32(99);
    if (s.Dashes) {
        w.WriteInt32(3);
        for (uint8_t b : {1, 0, 1})
            w.WriteByte(b);
    }
    w.WriteBool(false);  // Active
    if (s.Visible)
        w.WriteBool(false);
    w.WriteBool(true);  // Reserved
    if (s.Streamable)
        w.WriteBool(false);
    if (s.Name) {
        w.WriteByte(4);
        std::string name = "Wall";
        name.resize(31, '\0');
        w.WriteChars(name);
    }
    return w.TakeBytes();
}

}  // namespace

TEST(Layers, NewTableWritesOnlyTheSectionBounds)
{
    TQV_20Layers layers;
    EXPECT_EQ(Saved(layers), (std::vector<uint8_t>{0x01, 0x00, 0x00, 0x01}));
    EXPECT_EQ(layers.GetLayer(7).Name, "Layer_7");
    EXPECT_FALSE(layers.GetLayer(7).Modified);
}

TEST(Layers, ChangedPenWidthWritesThatLayerWithItsRecord)
{
    TQV_20Layers layers;
    layers.GetLayer(5).Pen.SetWidth(1);  // unchanged value: no mark
    EXPECT_FALSE(layers.GetLayer(5).Modified);
    layers.GetLayer(5).Pen.SetWidth(2);
    const std::vector<uint8_t> bytes = Saved(layers);
    // Start, index, 55-byte record without dash bits, end.
    ASSERT_EQ(bytes.size(), 2u + 2u + 55u + 2u);
    TStreamReader r(bytes);
    EXPECT_EQ(r.ReadInt16(), 1);
    EXPECT_EQ(r.ReadInt16(), 5);
    EXPECT_EQ(r.ReadInt32(), 0);  // pen colour
    EXPECT_EQ(r.ReadByte(), PenStyleSolid);
    EXPECT_EQ(r.ReadByte(), PenModeCopy);
    EXPECT_EQ(r.ReadInt32(), 2);
    EXPECT_EQ(r.ReadInt32(), 0xFFFFFF);
    r.Seek(bytes.size() - 2);
    EXPECT_EQ(r.ReadInt16(), 256);
}

TEST(Layers, SetNameKeeps31CharactersAndIgnoresAnEqualName)
{
    TQV_21Layer fresh(3);
    fresh.SetName("Layer_3");
    EXPECT_FALSE(fresh.Modified);
    fresh.SetName(std::string(40, 'x'));
    EXPECT_EQ(fresh.Name, std::string(31, 'x'));
    EXPECT_TRUE(fresh.Modified);
    // Characters, not UTF-8 bytes, count: "é" is one byte on disk.
    TQV_21Layer accented(4);
    accented.SetName(std::string(30, 'a') + "éé");
    EXPECT_EQ(accented.Name, std::string(30, 'a') + "é");
}

TEST(Layers, RecordFieldsFollowTheVersionTag)
{
    const char* tags[] = {"CAD3  ", "CAD4  ", "CAD422", "QV-001", "QV-002", "QV-3.2", "QV-3.6"};
    for (const char* tag : tags) {
        SCOPED_TRACE(tag);
        const TRecordShape shape = ShapeOf(tag);
        const std::vector<uint8_t> bytes = RecordFor(shape);
        TStreamReader r(bytes);
        TQV_21Layer layer(7);
        layer.LoadFromStream(r, tag);
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(layer.Pen.Color(), 0x123456);
        EXPECT_EQ(layer.Pen.Width(), 3);
        EXPECT_EQ(layer.Brush.Color(), 0x00FF00);
        EXPECT_EQ(layer.DecorativePen.GetPatternLength(), shape.Dashes ? 3 : 0);
        EXPECT_FALSE(layer.Active);
        EXPECT_EQ(layer.Visible, !shape.Visible);
        EXPECT_TRUE(layer.Reserved);
        EXPECT_EQ(layer.Streamable, !shape.Streamable);
        EXPECT_EQ(layer.Name, shape.Name ? "Wall" : "Layer 7");
        EXPECT_TRUE(layer.Modified);
    }
    // The table above in the terms of the oldest tags.
    EXPECT_TRUE(ShapeOf("CAD3  ").Streamable && !ShapeOf("CAD3  ").Name && !ShapeOf("CAD3  ").Visible);
    EXPECT_TRUE(ShapeOf("CAD4  ").Obsolete && !ShapeOf("CAD4  ").Dashes && ShapeOf("CAD4  ").Name);
    EXPECT_TRUE(!ShapeOf("CAD422").Obsolete && ShapeOf("CAD422").Dashes);
    EXPECT_EQ(RecordFor(ShapeOf("QV-3.6")).size(), 55u + 3u);
}

TEST(Layers, SaveLoadSaveIsBitExact)
{
    TQV_20Layers a;
    a.GetLayer(0).Pen.SetColor(0x0000FF);
    a.GetLayer(9).SetName("Contour");
    a.GetLayer(9).DecorativePen.SetPatternBit(4, true);
    a.GetLayer(255).Streamable = false;
    a.GetLayer(255).Changed();
    const std::vector<uint8_t> first = Saved(a);
    TQV_20Layers b;
    TStreamReader r(first);
    b.LoadFromStream(r, "QV-3.6");
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(Saved(b), first);
    EXPECT_FALSE(b.GetLayer(1).Modified);
}

TEST(Layers, SectionEndsAtTheEndOfTheStreamWithoutTheClosingIndex)
{
    TStreamWriter w;
    w.WriteInt16(1);
    w.WriteInt16(2);
    for (uint8_t b : RecordFor(ShapeOf("QV-3.6")))
        w.WriteByte(b);
    TQV_20Layers layers;
    TStreamReader r(w.Bytes());
    layers.LoadFromStream(r, "QV-3.6");
    EXPECT_EQ(layers.GetLayer(2).Name, "Wall");
}

TEST(Layers, DamagedSectionsAreRefused)
{
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
        std::string Error;  // empty: any ECADFileNotValid of the stream reader
    };
    std::vector<uint8_t> badStart = {0x02, 0x00, 0x00, 0x01};
    std::vector<uint8_t> highIndex = {0x01, 0x00, 0x01, 0x01};
    std::vector<uint8_t> cutRecord = {0x01, 0x00, 0x03, 0x00, 0x11, 0x22};
    TStreamWriter hugeDash;
    hugeDash.WriteInt16(1);
    hugeDash.WriteInt16(3);
    hugeDash.WriteBytes(std::vector<uint8_t>(14, 0).data(), 14);
    hugeDash.WriteInt32(0x7FFFFFFF);
    const std::vector<TCase> cases = {
        {"start other than 1", badStart, "TLayers.LoadFromStream: No layers found"},
        {"empty", {}, "TLayers.LoadFromStream: No layers found"},
        {"index 257", highIndex, "TLayers.LoadFromStream: Layer index out of bounds (257)"},
        {"record cut short", cutRecord, ""},
        {"dash count beyond the data", hugeDash.TakeBytes(), ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_20Layers layers;
        TStreamReader r(c.Bytes);
        if (c.Error.empty())
            EXPECT_THROW(layers.LoadFromStream(r, "QV-3.6"), ECADFileNotValid);
        else
            ExpectError<ECADFileNotValid>([&] { layers.LoadFromStream(r, "QV-3.6"); }, c.Error);
        // A record that could not be read whole changes nothing.
        EXPECT_FALSE(layers.GetLayer(3).Modified);
    }
}

TEST(Layers, NameLengthBeyondTheFieldIsClamped)
{
    std::vector<uint8_t> bytes = RecordFor(ShapeOf("QV-3.6"));
    const size_t nameAt = bytes.size() - 32;
    bytes[nameAt] = 200;
    for (size_t i = 1; i < 32; ++i)
        bytes[nameAt + i] = 'n';
    TStreamReader r(bytes);
    TQV_21Layer layer(0);
    layer.LoadFromStream(r, "QV-3.6");
    EXPECT_EQ(layer.Name, std::string(31, 'n'));
}
