#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVSys.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class TFirstClass : public TGraphicObject {
public:
    using TGraphicObject::TGraphicObject;
    std::string_view ClassName() const override { return "TFirstClass"; }
};

class TSecondClass : public TGraphicObject {
public:
    using TGraphicObject::TGraphicObject;
    std::string_view ClassName() const override { return "TSecondClass"; }
};

// The registry is program-wide: every test starts and ends with it empty.
class Registry : public ::testing::Test {
protected:
    void SetUp() override { QV_00ClearClassRegistry(); }
    void TearDown() override { QV_00ClearClassRegistry(); }
};

}  // namespace

TEST_F(Registry, OccupiedSlotIsRefusedAndKeepsItsClass)
{
    QV_00RegisterClass(3, GraphicClassOf<TFirstClass>("TFirstClass"));
    ExpectError<ECADObjClassNotFound>(
        [] { QV_00RegisterClass(3, GraphicClassOf<TSecondClass>("TSecondClass")); },
        "QV_00RegisterClass: Index 3 already allocated by TFirstClass");
    EXPECT_EQ(QV_00FindClassByIndex(3).Name, "TFirstClass");
    EXPECT_THROW(QV_00FindClassIndex("TSecondClass"), ECADObjClassNotFound);
}

TEST_F(Registry, IndicesOutsideTheTableAreOutOfBound)
{
    for (const int16_t index : {int16_t(-1), int16_t(512), int16_t(-32768), int16_t(32767)}) {
        SCOPED_TRACE(index);
        ExpectError<ECADOutOfBound>(
            [=] { QV_00RegisterClass(index, GraphicClassOf<TFirstClass>("TFirstClass")); },
            "QV_00RegisterClass: Out of bound registration index");
        ExpectError<ECADOutOfBound>([=] { QV_00FindClassByIndex(index); },
                                    "QV_00FindClassByIndex: Out of bound registration index");
    }
    QV_00RegisterClass(511, GraphicClassOf<TFirstClass>("TFirstClass"));
    EXPECT_EQ(QV_00FindClassIndex("TFirstClass"), 511);
}

TEST_F(Registry, EmptySlotIsNotRegistered)
{
    ExpectError<ECADObjClassNotFound>([] { QV_00FindClassByIndex(5); },
                                      "QV_00FindClassByIndex: Index not registered");
}

TEST_F(Registry, NameLookupFindsTheLowestSlotAndIsCaseSensitive)
{
    QV_00RegisterClass(7, GraphicClassOf<TFirstClass>("TFirstClass"));
    QV_00RegisterClass(2, GraphicClassOf<TFirstClass>("TFirstClass"));
    QV_00RegisterClass(4, GraphicClassOf<TFirstClass>("TFirstClass"));
    EXPECT_EQ(QV_00FindClassIndex("TFirstClass"), 2);
    EXPECT_EQ(QV_00FindClassByName("TFirstClass").Name, "TFirstClass");
    ExpectError<ECADObjClassNotFound>([] { QV_00FindClassIndex("tfirstclass"); },
                                      "QV_00FindClassIndex: tfirstclass graphic class not found");
    ExpectError<ECADObjClassNotFound>([] { QV_00FindClassByName("TNone"); },
                                      "QV_00FindClassIndex: TNone graphic class not found");
}

TEST_F(Registry, ClearEmptiesEverySlot)
{
    QV_00RegisterClass(3, GraphicClassOf<TFirstClass>("TFirstClass"));
    QV_00ClearClassRegistry();
    EXPECT_THROW(QV_00FindClassByIndex(3), ECADObjClassNotFound);
    EXPECT_THROW(QV_00FindClassIndex("TFirstClass"), ECADObjClassNotFound);
    QV_00RegisterClass(3, GraphicClassOf<TSecondClass>("TSecondClass"));
    EXPECT_EQ(QV_00FindClassIndex("TSecondClass"), 3);
}

TEST_F(Registry, ObjectStreamsAsClassIndexAndRecord)
{
    QV_00RegisterClass(0, GraphicClassOf<TFirstClass>("TFirstClass"));
    QV_00RegisterClass(23, GraphicClassOf<TSecondClass>("TSecondClass"));

    TSecondClass obj(17);
    obj.Layer = 4;
    TStreamWriter w;
    w.WriteInt16(QV_00FindClassIndex(obj.ClassName()));
    obj.SaveToStream(w);

    TStreamReader r(w.Bytes());
    const std::unique_ptr<TGraphicObject> back =
        QV_00FindClassByIndex(r.ReadInt16()).CreateFromStream(r, "QV-003");
    EXPECT_TRUE(r.AtEnd());
    ASSERT_NE(dynamic_cast<TSecondClass*>(back.get()), nullptr);
    EXPECT_EQ(back->ID, 17);
    EXPECT_EQ(back->Layer, 4);

    const std::unique_ptr<TGraphicObject> fresh = QV_00FindClassByName("TFirstClass").Create(-1);
    EXPECT_NE(dynamic_cast<TFirstClass*>(fresh.get()), nullptr);
    EXPECT_EQ(fresh->ID, -1);
}

TEST_F(Registry, UnregisteredSubclassCannotBeWritten)
{
    class TSubclass : public TFirstClass {
    public:
        using TFirstClass::TFirstClass;
        std::string_view ClassName() const override { return "TSubclass"; }
    };
    QV_00RegisterClass(0, GraphicClassOf<TFirstClass>("TFirstClass"));
    const TSubclass obj(1);
    EXPECT_THROW(QV_00FindClassIndex(obj.ClassName()), ECADObjClassNotFound);
}
