// pncview showed no text: it registered no stroke fonts and gave the DXF import no font. It opens
// its file as the program does, through the file commands.
#include "FakeServices.h"
#include "FileCommands.h"
#include "PlainFileHost.h"
#include "QVCmp.h"
#include "QVFonts.h"
#include "QVLanguage.h"
#include "QVRegistry.h"
#include "QVVariabili.h"
#include "QVVectText.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace {

// The drawing classes, the program's stroke fonts and a recording main window for each test.
class OpenTextFont : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterDrawingClasses();
        RegisterProgramFonts(ProgramFolder());
    }
    void TearDown() override
    {
        CurrentFile = {};
        CADCoreClearFontRegistry();
        QV_00ClearClassRegistry();
    }
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = Folder.Path() + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // The texts of the drawing.
    std::vector<TJustifiedVectText2D*> Texts()
    {
        std::vector<TJustifiedVectText2D*> texts;
        auto it = Drawing.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            if (auto* text = dynamic_cast<TJustifiedVectText2D*>(obj))
                texts.push_back(text);
        return texts;
    }

    // Opens as pncview does: a named file, nothing asked.
    void Open(const std::string& FileName) { ASSERT_TRUE(Commands.OpenGeo(FileName, false)); }

    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
    TTempFolder Folder;
    TQV_01Cmp2D Drawing;
    TPlainFileHost Host;
    TFileCommands Commands{Drawing, Host};
};

} // namespace

TEST_F(OpenTextFont, DxfTextsComeInTheFontOfSlotZero)
{
    const std::string path =
        Write("text.DXF", "0\nSECTION\n2\nENTITIES\n0\nTEXT\n10\n1\n20\n1\n40\n2\n1\nAB\n"
                          "0\nENDSEC\n0\nEOF\n");
    Open(path);
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Text, "AB");
    EXPECT_EQ(texts[0]->Font, CADCoreFindFontByIndex(0));
    EXPECT_TRUE(Window.Boxes.empty());
}

TEST_F(OpenTextFont, DrawingTextsFindTheirFonts)
{
    TQV_01Cmp2D source;
    source.AddObject(-1, std::make_unique<TJustifiedVectText2D>(
                             -1, CADCoreFindFontByIndex(1), MakePoint2D(0, 0), MakePoint2D(10, 5), 2, "CD"));
    const std::string path = Folder.Path() + "/text.pnc";
    source.SaveToFile(path);
    Open(path);
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Font, CADCoreFindFontByIndex(1));
    EXPECT_TRUE(Window.Boxes.empty()); // no "Font class not found"
}
