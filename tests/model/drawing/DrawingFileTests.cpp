#include "Bitmap32.h"
#include "CADExceptions.h"
#include "ExpectError.h"
#include "FakeServices.h"
#include "FileSizeLimit.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVServices.h"
#include "SavedBytes.h"
#include "TempFolder.h"
#include "TestBytes.h"
#include "TestFiles.h"
#include "TestMark.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// Every file test runs with recording message boxes and without operation hooks.
class DrawingFile : public DrawingClasses {
protected:
    void SetUp() override
    {
        DrawingClasses::SetUp();
        OpsStreamWriter = nullptr;
        OpsStreamReader = nullptr;
        OnDrawingLabelRead = nullptr;
    }
    void TearDown() override
    {
        OpsStreamWriter = nullptr;
        OpsStreamReader = nullptr;
        OnDrawingLabelRead = nullptr;
        DrawingClasses::TearDown();
    }
    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
};

void Load(TQV_01Cmp& d, const std::vector<uint8_t>& bytes, bool merge)
{
    TStreamReader r(bytes);
    d.LoadFromStream(r, merge);
}

std::vector<std::unique_ptr<TGraphicObject>> One(std::unique_ptr<TGraphicObject> obj)
{
    std::vector<std::unique_ptr<TGraphicObject>> v;
    v.push_back(std::move(obj));
    return v;
}

// A mark saved with a given ID, as an object record of a file (class index first).
void WriteMarkRecord(TStreamWriter& w, int32_t id, uint8_t layer, double x)
{
    TTestMark m(id, x, 0);
    m.Layer = layer;
    SaveIndexedObject(w, m);
}

// A drawing stream of marks with the given stored IDs.
std::vector<uint8_t> MarksFile(const std::vector<int32_t>& ids, const std::string& tag = CurrentVersionTag)
{
    TStreamWriter w;
    w.WriteChars(tag);
    w.WriteInt16(1);
    w.WriteInt16(256);
    w.WriteByte(2);
    w.WriteInt32(0);
    w.WriteByte(3);
    w.WriteInt32(static_cast<int32_t>(ids.size()));
    for (const int32_t id : ids)
        WriteMarkRecord(w, id, static_cast<uint8_t>(id), id);
    w.WriteByte(4);
    return w.TakeBytes();
}

// A drawing with changed layers, drawing and library blocks, a block used inside another, and
// references placed in and outside containers.
void FillRichDrawing(TQV_01Cmp2D& d)
{
    d.Layers.GetLayer(4).SetName("Holes");
    d.Layers.GetLayer(4).DecorativePen.SetPatternBit(2, true);
    d.Layers.GetLayer(9).Pen.SetWidth(3);
    TSourceBlock2D* bolt = d.AddSourceBlock(
        std::make_unique<TSourceBlock2D>(-1, StrToBlockName("BOLT"), One(Mark(1, 2))));
    auto plate = std::make_unique<TSourceBlock2D>(-1, StrToBlockName("PLATE"), One(Mark(3, 4)));
    auto inner = std::make_unique<TBlock2D>(-1, bolt);
    inner->SetBaseTransform(TMatrix4::CreateTranslation(5, 0, 0));
    plate->Objects.Add(std::move(inner));
    TSourceBlock2D* plateDef = d.AddSourceBlock(std::move(plate));
    d.CurrentLayer = 4;
    d.AddObject(-1, Mark(7, 8));
    auto ref = std::make_unique<TInsert>(-1, plateDef);
    ref->Origin = {1, 1, 1};
    ref->SetBaseTransform(TMatrix4::CreateRotation(true, 30));
    d.AddObject(-1, std::move(ref));
    d.CurrentLayer = 9;
    std::vector<std::unique_ptr<TGraphicObject>> group;
    group.push_back(std::make_unique<TBlock2D>(-1, bolt));
    group.push_back(Mark(-1, -1));
    d.AddObject(-1, std::make_unique<TContainer2D>(-1, std::move(group)));
}

}  // namespace

TEST_F(DrawingFile, EmptyDrawingIsTheBareStructure)
{
    TQV_01Cmp2D d;
    EXPECT_EQ(Saved(d), HexBytes("51562D332E36  0100 0001  02 00000000  03 00000000  04"));
}

TEST_F(DrawingFile, ObjectsOnLayersNotSavedLeaveTheCountAndAnEndMark)
{
    TQV_01Cmp2D d;
    d.Layers.GetLayer(1).Streamable = false;
    for (const uint8_t layer : {0, 1, 0, 1, 0})
        d.AddObjectToLayer(-1, layer, Mark(layer, 0));
    const std::vector<uint8_t> bytes = Saved(d);
    TStreamReader r(bytes);
    r.Seek(6 + 4 + 1 + 4 + 1);
    EXPECT_EQ(r.ReadInt32(), 5);
    int records = 0;
    for (int16_t index = r.ReadInt16(); index != -1; index = r.ReadInt16()) {
        EXPECT_EQ(index, TestMarkIndex);
        TTestMark m(r, CurrentVersionTag);
        ++records;
    }
    EXPECT_EQ(records, 3);
    EXPECT_EQ(r.ReadByte(), 4);
    EXPECT_TRUE(r.AtEnd());
}

TEST_F(DrawingFile, BlockCountIsThatOfTheBlocksWritten)
{
    TQV_01Cmp2D d;
    d.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName("A"), One(Mark(0, 0))));
    d.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName("LIB"), One(Mark(0, 0))))->IsLibrary = true;
    d.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName("AUX"), One(Mark(0, 0))))->ToBeSaved = false;
    d.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName("B"), One(Mark(0, 0))));
    const std::vector<uint8_t> bytes = Saved(d);
    TStreamReader r(bytes);
    r.Seek(6 + 4 + 1);
    EXPECT_EQ(r.ReadInt32(), 2);
    TQV_01Cmp2D back;
    Load(back, bytes, false);
    EXPECT_EQ(back.SourceBlocksCount(), 2);
    EXPECT_NO_THROW(back.FindSourceBlock(StrToBlockName("B")));
}

TEST_F(DrawingFile, SaveLoadSaveIsBitExact)
{
    TQV_01Cmp2D d;
    FillRichDrawing(d);
    const std::vector<uint8_t> first = Saved(d);
    TQV_01Cmp2D back;
    Load(back, first, false);
    EXPECT_TRUE(Window.Boxes.empty());
    EXPECT_EQ(back.ObjectsCount(), 3);
    EXPECT_EQ(back.SourceBlocksCount(), 2);
    EXPECT_EQ(back.FindSourceBlock(StrToBlockName("BOLT"))->References, 2);
    EXPECT_EQ(back.FindSourceBlock(StrToBlockName("PLATE"))->References, 1);
    EXPECT_EQ(back.Layers.GetLayer(4).Name, "Holes");
    EXPECT_EQ(Saved(back), first);
}

TEST_F(DrawingFile, VersionTagsAtOrBelowOursAreAccepted)
{
    struct TCase {
        const char* Tag;
        bool Accepted;
    };
    const std::vector<TCase> cases = {
        {"QV-3.6", true}, {"QV-3.2", true}, {"QV-002", true}, {"CAD422", true}, {"QV-3.7", false}, {"QW-000", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Tag);
        TQV_01Cmp2D d;
        const std::vector<uint8_t> bytes = MarksFile({}, c.Tag);
        if (c.Accepted) {
            Load(d, bytes, false);
            EXPECT_EQ(d.FileVersionTag, c.Tag);
        } else {
            ExpectError<ECADFileNotValid>(
                [&] { Load(d, bytes, false); },
                std::string("TQVCmp.LoadFromStream: Invalid stream version.\r\nFile created with a higher version ") +
                    (c.Tag + 3) + "\r\nUpdate your product...");
        }
    }
    // The version handler may let the read go on.
    TQV_01Cmp2D d;
    std::vector<TStreamType> asked;
    d.OnInvalidFileVersion = [&](TQV_01Cmp&, TStreamType type, TStreamReader&, bool& resume) {
        asked.push_back(type);
        resume = true;
    };
    Load(d, MarksFile({1}, "QV-3.7"), false);
    EXPECT_EQ(d.ObjectsCount(), 1);
    EXPECT_EQ(asked, (std::vector<TStreamType>{TStreamType::stDrawing}));
}

TEST_F(DrawingFile, LibraryNeedsTheExactTagAndKeepsItsFlag)
{
    TQV_01Cmp2D lib;
    lib.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName("NUT"), One(Mark(0, 0))))->IsLibrary = true;
    TStreamWriter w;
    w.WriteChars(CurrentVersionTag);
    w.WriteByte(2);
    lib.SaveBlocksToStream(w, true);
    const std::vector<uint8_t> library = w.TakeBytes();

    TQV_01Cmp2D d;
    TStreamReader r(library);
    d.LoadLibrary(r);
    TSourceBlock2D* nut = d.FindSourceBlock(StrToBlockName("NUT"));
    EXPECT_TRUE(nut->IsLibrary);
    EXPECT_EQ(d.FileVersionTag, std::string(6, '\0'));
    // Library blocks stay out of drawings and survive a non-merge load.
    std::vector<uint8_t> drawing = Saved(d);
    TStreamReader blocks(drawing);
    blocks.Seek(6 + 4 + 1);
    EXPECT_EQ(blocks.ReadInt32(), 0);
    Load(d, drawing, false);
    EXPECT_EQ(d.SourceBlocksCount(), 1);

    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
        std::string Error;
    };
    std::vector<uint8_t> oldTag = library;
    std::copy_n("QV-3.2", 6, oldTag.begin());
    std::vector<uint8_t> noMarker(library.begin(), library.begin() + 6);
    noMarker.push_back(3);
    const std::vector<TCase> cases = {
        {"a drawing tag below ours", oldTag, "TCADCmp.LoadLibrary: Invalid stream version."},
        {"no block marker", noMarker, "TCADCmp.LoadLibrary: no blocks found"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TStreamReader cr(c.Bytes);
        ExpectError<ECADFileNotValid>([&] { d.LoadLibrary(cr); }, c.Error);
    }
}

TEST_F(DrawingFile, OperationsBlockGoesThroughTheHooks)
{
    TQV_01Cmp2D d;
    d.AddObject(-1, Mark(1, 1));
    const std::vector<uint8_t> bare = Saved(d);
    EXPECT_EQ(bare.back(), 4);  // nothing after byte 4 without a writer

    OpsStreamWriter = [](TStreamWriter& s) { s.WriteInt32(-1); };
    const std::vector<uint8_t> withOps = Saved(d);
    EXPECT_EQ(withOps.size(), bare.size() + 4);
    std::string tagSeen;
    size_t readerAt = 0;
    OpsStreamReader = [&](TStreamReader& s, const std::string& tag) {
        tagSeen = tag;
        readerAt = s.Position();
        EXPECT_EQ(s.ReadInt32(), -1);
    };
    TQV_01Cmp2D back;
    Load(back, withOps, false);
    EXPECT_EQ(tagSeen, CurrentVersionTag);
    EXPECT_EQ(readerAt, bare.size());

    // A file that ends right after the objects does not reach the reader.
    tagSeen.clear();
    std::vector<uint8_t> cut(bare.begin(), bare.end() - 1);
    Load(back, cut, false);
    EXPECT_TRUE(tagSeen.empty());
    EXPECT_EQ(back.ObjectsCount(), 1);
    // Without a reader the stream is left at byte 4.
    OpsStreamReader = nullptr;
    TStreamReader r(withOps);
    back.LoadFromStream(r, false);
    EXPECT_EQ(r.Position(), bare.size());
}

TEST_F(DrawingFile, MergeKeepsWhatIsThereAndLoadStartsAfresh)
{
    TQV_01Cmp2D d;
    for (int i = 0; i < 5; ++i)
        d.AddObject(-1, Mark(i, 0));
    TGraphicObject* kept = d.GetObject(3);
    Load(d, MarksFile({7, 8, 9}), true);
    EXPECT_EQ(IdsOf(d), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(d.GetObject(3), kept);
    // The current layer is that of the last object read (layer = stored ID in this file).
    EXPECT_EQ(d.CurrentLayer, 9);

    std::vector<int32_t> freed;
    const int32_t listener = d.AddFreeListener([&](TGraphicObject& obj) { freed.push_back(obj.ID); });
    Load(d, MarksFile({7, 8, 9}), false);
    EXPECT_EQ(freed, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));  // announced before the load
    d.RemoveFreeListener(listener);
    EXPECT_EQ(IdsOf(d), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(d.GetObject(2)->Layer, 9);
}

TEST_F(DrawingFile, ReferenceToAMissingBlockIsReportedAndDropped)
{
    TQV_01Cmp2D source;
    TSourceBlock2D* def =
        source.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName("GONE"), One(Mark(0, 0))));
    source.AddObject(-1, Mark(1, 0));
    source.AddObject(-1, std::make_unique<TBlock2D>(-1, def));
    source.AddObject(-1, Mark(2, 0));
    def->ToBeSaved = false;  // the definition is not written, its reference is
    TQV_01Cmp2D d;
    Load(d, Saved(source), false);
    ASSERT_EQ(Window.Boxes.size(), 1u);
    EXPECT_EQ(Window.Boxes[0].Text, "Source block not found. The block will not be loaded");
    EXPECT_EQ(IdsOf(d), (std::vector<int32_t>{0, 1}));
}

TEST_F(DrawingFile, UnregisteredClassStopsTheLoadAndKeepsWhatWasRead)
{
    struct TCase {
        const char* Name;
        std::function<void(TStreamWriter&)> Objects;  // the object section after its count
        std::string Error;
    };
    const std::vector<TCase> cases = {
        {"an object of an empty slot",
         [](TStreamWriter& w) { w.WriteInt16(10); },
         "TQVCmp.LoadObjectsFromStream: Object class not found (class index 10)"},
        {"a container child of an empty slot",
         [](TStreamWriter& w) {
             TContainer2D c(5);
             TStreamWriter body;
             c.SaveToStream(body);
             std::vector<uint8_t> bytes = body.TakeBytes();
             bytes[bytes.size() - 4] = 1;  // one child ...
             w.WriteInt16(0);
             w.WriteBytes(bytes.data(), bytes.size());
             w.WriteInt16(20);  // ... of index 20
         },
         "TQVCmp.LoadObjectsFromStream: QV_00FindClassByIndex: Index not registered"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Window.Boxes.clear();
        TStreamWriter w;
        w.WriteChars(CurrentVersionTag);
        w.WriteInt16(1);
        w.WriteInt16(256);
        w.WriteByte(2);
        w.WriteInt32(0);
        w.WriteByte(3);
        w.WriteInt32(3);
        WriteMarkRecord(w, 0, 0, 1);
        c.Objects(w);
        WriteMarkRecord(w, 2, 0, 2);  // never reached
        w.WriteByte(4);
        TQV_01Cmp2D d;
        ExpectError<ECADFileNotValid>([&] { Load(d, w.Bytes(), false); }, c.Error);
        ASSERT_EQ(Window.Boxes.size(), 1u);
        EXPECT_EQ(Window.Boxes[0].Text, "Object class not found. Object not load");
        EXPECT_EQ(d.ObjectsCount(), 1);
    }
}

TEST_F(DrawingFile, DamagedStructureIsReportedWithItsText)
{
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
        std::string Error;
    };
    const std::vector<TCase> cases = {
        {"no layers", HexBytes("51562D332E36 0200"), "TLayers.LoadFromStream: No layers found"},
        {"no block marker", HexBytes("51562D332E36 0100 0001 03"), "TQVCmp.MergeFromStream: no blocks found"},
        {"no object marker", HexBytes("51562D332E36 0100 0001 02 00000000 04"),
         "TQVCmp.MergeFromStream: no objects found"},
        {"stream ends after the blocks", HexBytes("51562D332E36 0100 0001 02 00000000"),
         "TQVCmp.MergeFromStream: no objects found"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D d;
        ExpectError<ECADFileNotValid>([&] { Load(d, c.Bytes, false); }, c.Error);
    }
    // Counts beyond the data: the strict reader refuses them.
    TQV_01Cmp2D d;
    EXPECT_THROW(Load(d, HexBytes("51562D332E36 0100 0001 02 FFFFFF7F"), false), ECADFileNotValid);
    EXPECT_THROW(Load(d, HexBytes("51562D332E36 0100 0001 02 00000000 03 05000000 6400"), false),
                 ECADFileNotValid);
}

TEST_F(DrawingFile, LabelReadBecomesTheCurrentLabel)
{
    RegisterLabelClass(GraphicClassOf<TTestMark>("TTestMark"));
    TStreamWriter w;
    w.WriteChars(CurrentVersionTag);
    w.WriteInt16(1);
    w.WriteInt16(256);
    w.WriteByte(2);
    w.WriteInt32(0);
    w.WriteByte(3);
    w.WriteInt32(2);
    WriteMarkRecord(w, 0, 0, 1);
    w.WriteInt16(LabelClassIndex);
    TTestMark(1, 5, 0).SaveToStream(w);
    w.WriteByte(4);
    TGraphicObject* label = nullptr;
    OnDrawingLabelRead = [&](TGraphicObject& obj) { label = &obj; };
    auto d = std::make_unique<TQV_01Cmp2D>();
    d->AddFreeListener([&](TGraphicObject& obj) {
        if (&obj == label)
            label = nullptr;
    });
    Load(*d, w.Bytes(), false);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label, d->GetObject(1));
    // A later registration keeps index 23 for the label.
    RegisterDrawingClasses();
    EXPECT_EQ(QV_00FindClassByIndex(LabelClassIndex).Name, "TTestMark");
    d.reset();
    EXPECT_EQ(label, nullptr);
    // A clear forgets it, so a later test's own classes keep their names' indices.
    QV_00ClearClassRegistry();
    RegisterDrawingClasses();
    EXPECT_THROW(QV_00FindClassByIndex(LabelClassIndex), ECADObjClassNotFound);
}

TEST_F(DrawingFile, FilesRoundTripAndAFailedSaveKeepsTheOldFile)
{
    TTempFolder folder;
    const std::string path = folder.Path() + "/part.pnc";
    TQV_01Cmp2D d;
    FillRichDrawing(d);
    d.SaveToFile(path);
    const std::vector<uint8_t> good = FileBytes(path);
    EXPECT_EQ(good, Saved(d));
    TQV_01Cmp2D back;
    back.LoadFromFile(path, false);
    EXPECT_EQ(back.ObjectsCount(), 3);

    // An object whose class cannot be written.
    d.AddObject(-1, std::make_unique<TContainer2D>(-1, One(std::make_unique<TObject2D>(-1))));
    ExpectError<ECADObjClassNotFound>([&] { d.SaveToFile(path); },
                                      "QV_00FindClassIndex: TObject2D graphic class not found");
    EXPECT_EQ(FileBytes(path), good);
    EXPECT_EQ(folder.FileNames(), (std::vector<std::string>{"part.pnc"}));

    // A target that cannot be replaced, and a folder that does not exist.
    TQV_01Cmp2D small;
    std::filesystem::create_directory(folder.Path() + "/dir.pnc");
    EXPECT_THROW(small.SaveToFile(folder.Path() + "/dir.pnc"), ECADCoreException);
    EXPECT_EQ(folder.FileNames(), (std::vector<std::string>{"dir.pnc", "part.pnc"}));
    try {
        small.SaveToFile(folder.Path() + "/missing/x.pnc");
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const ECADCoreException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot save the drawing to \"" + folder.Path() + "/missing/x.pnc\": No such file or directory");
    }
    ExpectError<ECADCoreException>([&] { back.LoadFromFile(folder.Path() + "/none.pnc", false); },
                                    "Cannot open file \"" + folder.Path() + "/none.pnc\". No such file or directory");
    // Saving over an existing file keeps its permissions.
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    small.SaveToFile(path);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    WriteFile(path, good);
    back.LoadFromFile(path, true);
    EXPECT_EQ(back.ObjectsCount(), 6);
}

namespace {

// 6,000 objects, some 3.7 MB as a file: several pieces of a save and several read windows.
void FillLarge(TQV_01Cmp2D& d)
{
    std::vector<TPoint2D> points(50);
    for (int i = 0; i < 3000; ++i) {
        for (size_t j = 0; j < points.size(); ++j)
            points[j] = {i + 0.25 * static_cast<double>(j), -0.5 * i, 1};
        d.AddObject(-1, std::make_unique<TPolyline2D>(-1, points));
        d.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{1.0 * i, 2, 1}, TPoint2D{3, 4.0 * i, 2}));
    }
}

} // namespace

// A file is read through a window of about a megabyte: records that straddle its edges must
// read as they do from memory, and a file cut short must fail at the same offset.
TEST_F(DrawingFile, AFileLargerThanTheReadWindowLoadsAsItsStream)
{
    TTempFolder folder;
    const std::string path = folder.Path() + "/large.pnc";
    TQV_01Cmp2D d;
    FillLarge(d);
    d.SaveToFile(path);
    const std::vector<uint8_t> bytes = FileBytes(path);
    ASSERT_GT(bytes.size(), size_t(3) << 20);

    TQV_01Cmp2D back;
    back.LoadFromFile(path, false);
    EXPECT_EQ(back.ObjectsCount(), 6000);
    EXPECT_EQ(Saved(back), bytes);

    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * 2 / 3));
    std::string fromMemory;
    try {
        TQV_01Cmp2D mem;
        Load(mem, cut, false);
        ADD_FAILURE() << "a stream cut short loaded";
    } catch (const ECADFileNotValid& e) {
        fromMemory = e.what();
    }
    WriteFile(path, cut);
    TQV_01Cmp2D fromFile;
    ExpectError<ECADFileNotValid>([&] { fromFile.LoadFromFile(path, false); },
                                  "The drawing file \"large.pnc\" is damaged and cannot be opened.\n" +
                                      fromMemory);
}

// A drawing file cut inside the picture of an image said "invalid BMP file: the pixel data is
// truncated", as if a picture had been opened: the message names the drawing file and says that
// it is damaged. A file that is only too new is not called damaged.
TEST_F(DrawingFile, ADamagedFileIsNamedAndCalledDamaged)
{
    TQV_01Cmp2D d;
    d.AddObject(-1, Mark(1, 1));
    d.AddObject(
        -1, std::make_unique<TBitmap2D>(-1, MakePoint2D(0, 0), MakePoint2D(40, 30), *NewBitmap32(40, 30)));
    const std::vector<uint8_t> whole = Saved(d);
    std::vector<uint8_t> newer = whole;
    newer[5] = static_cast<uint8_t>(newer[5] + 1);
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
        std::string Start;  // of the message
        std::string Reason; // a part of it
    };
    const std::string damaged = "The drawing file \"d.pnc\" is damaged and cannot be opened.\n";
    const std::vector<TCase> cases = {
        {"cut inside a picture's pixels", std::vector<uint8_t>(whole.begin(), whole.end() - 2000), damaged,
         "the picture of an image is damaged, the pixel data is truncated"},
        {"cut inside the first object", std::vector<uint8_t>(whole.begin(), whole.begin() + 60), damaged,
         "unexpected end of data"},
        {"cut inside the tag", std::vector<uint8_t>(whole.begin(), whole.begin() + 3), damaged,
         "unexpected end of data"},
        {"of a newer version", newer, "TQVCmp.LoadFromStream: Invalid stream version.",
         "Update your product"},
    };
    TTempFolder folder;
    const std::string path = folder.Path() + "/d.pnc";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFile(path, c.Bytes);
        TQV_01Cmp2D back;
        try {
            back.LoadFromFile(path, false);
            ADD_FAILURE() << "a damaged file loaded";
        } catch (const ECADFileNotValid& e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind(c.Start, 0), 0u) << what;
            EXPECT_NE(what.find(c.Reason), std::string::npos) << what;
            EXPECT_EQ(what.find("BMP file"), std::string::npos) << what;
        }
    }
}

// A save goes to the file in pieces as the stream is made: when the disk fills up after some of
// them were written, the save says why, and the old file and nothing else stays.
TEST_F(DrawingFile, ASaveThatFailsPartWayKeepsTheOldFile)
{
    TTempFolder folder;
    const std::string path = folder.Path() + "/large.pnc";
    WriteFile(path, std::string_view("old drawing"));
    TQV_01Cmp2D d;
    FillLarge(d);
    {
        const TFileSizeLimit limit(TStreamWriter::SpillSize + 100);
        ExpectError<ECADCoreException>([&] { d.SaveToFile(path); },
                                       "Cannot save the drawing to \"" + path + "\": File too large");
    }
    EXPECT_EQ(FileText(path), "old drawing");
    EXPECT_EQ(folder.FileNames(), (std::vector<std::string>{"large.pnc"}));
    d.SaveToFile(path);
    EXPECT_EQ(FileBytes(path), Saved(d));
}

namespace {

// Hand-built drawing streams of each version tag the readers switch on: a changed layer, two
// block definitions (the second holding a reference to the first), and each primitive class,
// a block reference and a container with a reference in it as objects.
class TFixture {
public:
    explicit TFixture(std::string tag) : Tag(std::move(tag)) {}

    std::vector<uint8_t> Build()
    {
        W.WriteChars(Tag);
        W.WriteInt16(1);
        W.WriteInt16(2);
        Layer();
        W.WriteInt16(256);
        W.WriteByte(2);
        W.WriteInt32(2);
        Block(0, "BOLT", [this] {
            Line(0, 0, 0, 0, 1, 0);
            Point(1, 0, 0.5, 3);
        });
        Block(1, "PLATE", [this] {
            Polygon(0, 0);
            Reference(2, 1, 0, "BOLT", 5, 0);
        });
        W.WriteByte(3);
        W.WriteInt32(6);
        Line(0, 2, 0, 0, 4, 0);
        Polyline(1, 2);
        Polygon(2, 0);
        Point(3, 0, 9, 9);
        Reference(22, 4, 0, "PLATE", 0, 10);
        Head(0, 5, 1, 0, 0);  // a container
        W.WriteInt32(2);
        Reference(2, 0, 1, "BOLT", 20, 0);
        Line(1, 1, 0, 0, 0, 1);
        W.WriteByte(4);
        return W.TakeBytes();
    }

    bool OldTransform() const { return Tag <= std::string("QV-002"); }
    bool NamedLayers() const { return Tag >= std::string("CAD33") && Tag != "CAD3  "; }

private:
    void Layer()
    {
        W.WriteInt32(0x0000FF);
        W.WriteByte(0);
        W.WriteByte(4);
        W.WriteInt32(2);
        W.WriteInt32(0xFFFFFF);
        W.WriteByte(0);
        if (TagBelow(Tag, "CAD422"))
            W.WriteInt32(0);
        if (TagAtLeast(Tag, "CAD41"))
            W.WriteInt32(0);
        W.WriteBool(true);
        if (TagAtLeast(Tag, "CAD4"))
            W.WriteBool(true);
        W.WriteBool(false);
        if (Tag == "CAD3  " || TagAtLeast(Tag, "CAD33"))
            W.WriteBool(true);
        if (NamedLayers()) {
            std::string name = "Wall";
            W.WriteByte(4);
            name.resize(31, '\0');
            W.WriteChars(name);
        }
    }

    // The class index, the graphic-object record and a translation in the tag's form.
    void Head(int16_t index, int32_t id, uint8_t layer, double tx, double ty)
    {
        W.WriteInt16(index);
        W.WriteInt32(id);
        W.WriteByte(layer);
        W.WriteByte(3);
        const std::vector<double> m3 = {1, 0, 0, 0, 1, 0, tx, ty, 1};
        const std::vector<double> m4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, tx, ty, 0, 1};
        for (const double v : OldTransform() ? m3 : m4)
            W.WriteDouble(v);
    }

    void Points(const std::vector<TPoint2D>& pts, bool growable)
    {
        W.WriteUInt16(static_cast<uint16_t>(pts.size()));
        for (const TPoint2D& p : pts) {
            W.WriteDouble(p.X);
            W.WriteDouble(p.Y);
            W.WriteDouble(p.W);
        }
        W.WriteBool(growable);
    }

    void Line(int32_t id, uint8_t layer, double x1, double y1, double x2, double y2)
    {
        Head(3, id, layer, 0, 0);
        Points({{x1, y1, 1}, {x2, y2, 1}}, false);
    }
    void Polyline(int32_t id, uint8_t layer)
    {
        Head(4, id, layer, 0, 0);
        Points({{0, 0, 1}, {1, 1, 1}, {2, 0, 1}}, true);
    }
    void Polygon(int32_t id, uint8_t layer)
    {
        Head(5, id, layer, 0, 0);
        Points({{0, 0, 1}, {2, 0, 1}, {2, 2, 1}}, true);
    }
    void Point(int32_t id, uint8_t layer, double x, double y)
    {
        Head(15, id, layer, 0, 0);
        Points({{x, y, 1}}, false);
    }
    void Reference(int16_t index, int32_t id, uint8_t layer, const char* name, double tx, double ty)
    {
        Head(index, id, layer, tx, ty);
        W.WriteBytes(StrToBlockName(name).data(), 13);
        for (const double v : {0.0, 0.0, 1.0})
            W.WriteDouble(v);
    }
    void Block(int32_t id, const char* name, const std::function<void()>& children)
    {
        Head(1, id, 0, 0, 0);
        W.WriteInt32(2);
        children();
        W.WriteBool(true);
        W.WriteBool(false);
        W.WriteBytes(StrToBlockName(name).data(), 13);
    }

    std::string Tag;
    TStreamWriter W;
};

}  // namespace

TEST_F(DrawingFile, EveryVersionTagReadsLayersBlocksNestedReferencesAndPrimitives)
{
    for (const char* tag : {"CAD3  ", "CAD4  ", "CAD422", "QV-001", "QV-002", "QV-003", "QV-3.2", "QV-3.6"}) {
        SCOPED_TRACE(tag);
        TFixture fixture(tag);
        const std::vector<uint8_t> bytes = fixture.Build();
        TQV_01Cmp2D d;
        Load(d, bytes, false);
        EXPECT_TRUE(Window.Boxes.empty());
        EXPECT_EQ(d.FileVersionTag, tag);
        EXPECT_EQ(d.Layers.GetLayer(2).Pen.Width(), 2);
        EXPECT_EQ(d.Layers.GetLayer(2).Name, fixture.NamedLayers() ? "Wall" : "Layer 2");

        std::vector<std::string> classes;
        auto it = d.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            classes.emplace_back(obj->ClassName());
        EXPECT_EQ(classes, (std::vector<std::string>{"TLine2D", "TPolyline2D", "TPolygon2D", "TPunto2D", "TInsert",
                                                     "TContainer2D"}));
        EXPECT_EQ(d.GetObject(0)->Layer, 2);
        EXPECT_EQ(static_cast<TPolyline2D*>(d.GetObject(1))->Points().Count(), 3);
        EXPECT_EQ(d.FindSourceBlock(StrToBlockName("BOLT"))->References, 2);
        EXPECT_EQ(d.FindSourceBlock(StrToBlockName("PLATE"))->References, 1);
        // PLATE (0, 0)-(2, 2) with BOLT (0, 0)-(1, 3) moved by (5, 0), all moved by (0, 10).
        const TRect2D box = d.GetObject(4)->Box;
        EXPECT_EQ(box.First.X, 0);
        EXPECT_EQ(box.First.Y, 10);
        EXPECT_EQ(box.Second.X, 6);
        EXPECT_EQ(box.Second.Y, 13);
        double dist = 0;
        EXPECT_EQ(d.GetObject(5)->HitTest({20.5, 3, 1}, dist, 0.1), 0);  // the reference inside
        EXPECT_EQ(d.CurrentLayer, 1);
        if (std::string(tag) == CurrentVersionTag) {
            EXPECT_EQ(Saved(d), bytes);  // the current form writes back byte for byte
        }
    }
}

namespace {

// Definitions L0 (a mark) to L<Levels>, each above L0 holding FanOut references to the one
// below; then Tops references to the last. As a library: the tag and the definitions alone.
std::vector<uint8_t> FanOutFile(int Levels, int FanOut, int Tops, bool Library = false)
{
    const auto name = [](int i) { return StrToBlockName("L" + std::to_string(i)); };
    TStreamWriter w;
    w.WriteChars(CurrentVersionTag);
    if (!Library) {
        w.WriteInt16(1);
        w.WriteInt16(256);
    }
    w.WriteByte(2);
    w.WriteInt32(Levels + 1);
    for (int level = 0; level <= Levels; ++level) {
        TSourceBlock2D def(-1, name(level), {});
        if (level == 0)
            def.Objects.Add(Mark(5, 5));
        for (int i = 0; level > 0 && i < FanOut; ++i)
            def.Objects.Add(std::make_unique<TBlock2D>(-1, name(level - 1)));
        SaveIndexedObject(w, def);
    }
    if (Library)
        return w.TakeBytes();
    w.WriteByte(3);
    w.WriteInt32(Tops);
    for (int i = 0; i < Tops; ++i) {
        TBlock2D top(-1, name(Levels));
        SaveIndexedObject(w, top);
    }
    w.WriteByte(4);
    return w.TakeBytes();
}

} // namespace

// Display and picking walk down through references on the stack: a chain of 10,000
// definitions, each using the one before, ran them out of stack.
TEST_F(DrawingFile, ReferencesNestedBeyondTheBoundAreRefused)
{
    // A definition is a container over a reference to the one before: two levels a link.
    struct TCase {
        const char* Name;
        int Definitions;
        std::string Error; // empty: it loads
    };
    const std::vector<TCase> cases = {
        {"the deepest that loads", (MaxNestingDepth - 3) / 2 + 1, ""},
        {"one link more, refused at the object", (MaxNestingDepth - 3) / 2 + 2,
         "TQVCmp.LoadObjectsFromStream: containers and block references nested deeper than 256"},
        {"10,000 definitions", 10'000,
         "TQVCmp.LoadBlocksFromStream: containers and block references nested deeper than 256"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D d;
        if (!c.Error.empty()) {
            ExpectError<ECADFileNotValid>([&] { Load(d, FanOutFile(c.Definitions - 1, 1, 1), false); },
                                          c.Error);
            continue;
        }
        Load(d, FanOutFile(c.Definitions - 1, 1, 1), false);
        ASSERT_EQ(d.ObjectsCount(), 1);
        TObject2D* top = d.GetObject(0);
        EXPECT_EQ(NestingDepth(*top), MaxNestingDepth - 1);
        TTestMark::Built.clear();
        top->BuildGL();
        ASSERT_EQ(TTestMark::Built.size(), 1u);
        EXPECT_DOUBLE_EQ(TTestMark::Built[0].X, 5);
        EXPECT_DOUBLE_EQ(TTestMark::Built[0].Y, 5);
        double dist = 0;
        EXPECT_GE(top->HitTest(TPoint2D{5, 5, 1}, dist, 0.5), HitInside);
    }
}

// Definitions that each use the one before a few times ("billion laughs"): a file of 12 KB
// made the reader build the display of ten million objects, for minutes and gigabytes. What a
// file's references may show together is bounded by its size; beyond that it is refused before
// anything is shown.
TEST_F(DrawingFile, ReferencesThatWouldShowMoreThanTheFileCanHoldAreRefused)
{
    struct TCase {
        const char* Name;
        int Levels, FanOut, Tops;
        bool Library;
        const char* Section; // empty: it loads, showing FanOut^Levels marks per top reference
    };
    const std::vector<TCase> cases = {
        {"ten levels of two", 10, 2, 1, false, ""},
        {"four levels of ten, twice", 4, 10, 2, false, ""},
        {"twenty levels of two", 20, 2, 1, false, "LoadBlocksFromStream"},
        {"seven levels of ten", 7, 10, 1, false, "LoadBlocksFromStream"},
        {"five levels of ten, twice", 5, 10, 2, false, "LoadObjectsFromStream"},
        {"seven levels of ten in the block library", 7, 10, 0, true, "LoadBlocksFromStream"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<uint8_t> bytes = FanOutFile(c.Levels, c.FanOut, c.Tops, c.Library);
        TQV_01Cmp2D d;
        TTestMark::Built.clear();
        const auto load = [&] {
            TStreamReader r(bytes);
            if (c.Library)
                d.LoadLibrary(r);
            else
                d.LoadFromStream(r, false);
        };
        if (*c.Section) {
            const uint64_t most = TExpansionBudget(bytes.size()).Total();
            ExpectError<ECADFileNotValid>(load,
                                          std::string("TQVCmp.") + c.Section +
                                              ": block references nested in one another would show more "
                                              "objects than a file of this size can hold (at most " +
                                              std::to_string(most) + ")");
            EXPECT_LE(TTestMark::Built.size(), most);
            continue;
        }
        load();
        ASSERT_EQ(d.ObjectsCount(), c.Tops);
        size_t shown = c.Tops;
        for (int i = 0; i < c.Levels; ++i)
            shown *= static_cast<size_t>(c.FanOut);
        EXPECT_EQ(TTestMark::Built.size(), shown);
    }
}

// A definition the drawing held before (the block library's) was weighed when it was read: a
// small drawing that places it, or the drawing saved and read back without its library blocks,
// is not refused for what the definition holds.
TEST_F(DrawingFile, ReferencesToDefinitionsHeldBeforeWeighOne)
{
    TQV_01Cmp2D d;
    {
        const std::vector<uint8_t> library = FanOutFile(5, 10, 0, true);
        TStreamReader r(library);
        d.LoadLibrary(r);
    }
    {
        auto it = d.SourceBlocksIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            static_cast<TSourceBlock2D*>(obj)->IsLibrary = true;
    }
    // A drawing of one reference to the library's top definition, and no definitions.
    TQV_01Cmp2D placing;
    placing.AddObject(-1, std::make_unique<TBlock2D>(-1, StrToBlockName("L5")));
    const std::vector<uint8_t> small = Saved(placing);
    ASSERT_LT(TExpansionBudget(small.size()).Total(), 111'111u);
    TTestMark::Built.clear();
    Load(d, small, true);
    ASSERT_EQ(d.ObjectsCount(), 1);
    EXPECT_EQ(TTestMark::Built.size(), 100'000u);
    // Saved, the drawing holds the reference without the library's definitions; read back
    // into the drawing that holds them, it loads again.
    const std::vector<uint8_t> saved = Saved(d);
    Load(d, saved, false);
    EXPECT_EQ(d.ObjectsCount(), 1);
}

// A negative count of definitions is an empty block section, as the count 0 is.
TEST_F(DrawingFile, NegativeBlockCountMeansNoBlocks)
{
    TQV_01Cmp2D d;
    Load(d, HexBytes("51562D332E36 0100 0001 02 FEFFFFFF 03 00000000 04"), false);
    EXPECT_EQ(d.SourceBlocksCount(), 0);
    const std::vector<uint8_t> bytes = HexBytes("51562D332E36 02 00000080");
    TStreamReader library(bytes);
    d.LoadLibrary(library);
    EXPECT_EQ(d.SourceBlocksCount(), 0);
}

// With "DOOR" in the block library, a file's own "DOOR" lost its references to the library's.
TEST_F(DrawingFile, ReferencesBindToTheFilesOwnDefinitionsFirst)
{
    const auto def = [](const char* name, double x) {
        return std::make_unique<TSourceBlock2D>(-1, StrToBlockName(name), One(Mark(x, 0)));
    };
    const auto markOf = [](const TSourceBlock2D* block) {
        auto it = const_cast<TSourceBlock2D*>(block)->Objects.GetIterator();
        return static_cast<TTestMark*>(it.First())->P.X;
    };
    // The file defines DOOR (at x = 2) and uses it, and uses WINDOW, which only the library has.
    TQV_01Cmp2D source;
    TSourceBlock2D* door = source.AddSourceBlock(def("DOOR", 2));
    source.AddObject(-1, std::make_unique<TBlock2D>(-1, door));
    source.AddObject(-1, std::make_unique<TBlock2D>(-1, StrToBlockName("WINDOW")));
    // A definition inside the file uses DOOR as well.
    auto wall = def("WALL", 3);
    wall->Objects.Add(std::make_unique<TBlock2D>(-1, StrToBlockName("DOOR")));
    source.AddSourceBlock(std::move(wall));
    const std::vector<uint8_t> file = Saved(source);

    for (const bool merge : {false, true}) {
        SCOPED_TRACE(merge ? "merged into a drawing with its own DOOR" : "loaded");
        TQV_01Cmp2D d;
        for (const char* name : {"DOOR", "WINDOW"}) {
            TSourceBlock2D* lib = d.AddSourceBlock(def(name, 1));
            lib->IsLibrary = true;
        }
        TSourceBlock2D* own = nullptr;
        if (merge)
            own = d.AddSourceBlock(def("DOOR", 4));
        Load(d, file, merge);
        const auto refs = [&] {
            std::vector<TBlock2D*> v;
            auto it = d.ObjectsIterator();
            for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
                v.push_back(static_cast<TBlock2D*>(obj));
            return v;
        }();
        ASSERT_EQ(refs.size(), 2u);
        EXPECT_EQ(markOf(refs[0]->Source()), 2); // the file's DOOR
        EXPECT_FALSE(refs[0]->Source()->IsLibrary);
        EXPECT_NE(refs[0]->Source(), own);
        EXPECT_EQ(markOf(refs[1]->Source()), 1); // the library's WINDOW
        TBlock2D* inWall = nullptr;
        auto it = d.SourceBlocksIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            if (static_cast<TSourceBlock2D*>(obj)->Name == StrToBlockName("WALL"))
                VisitBlockReferences(*static_cast<TSourceBlock2D*>(obj), [&](TBlock2D& r) { inWall = &r; });
        ASSERT_NE(inWall, nullptr);
        EXPECT_EQ(inWall->Source(), refs[0]->Source());
    }
}
