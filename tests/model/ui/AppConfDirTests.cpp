#include "AppConfDir.h"
#include "QVLanguage.h"
#include "UnitConfig.h"

#include "TempFolder.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(AppConfDir, ShowsTheFoldersWithEnglishCaptions)
{
    TTempFolder dir;
    ::setenv("RASTREL_DATA_DIR", dir.Path().c_str(), 1);
    const TAppConfig config;
    ::unsetenv("RASTREL_DATA_DIR");
    LanguageIni = OpenLanguageFile("languages/english");
    ASSERT_NE(LanguageIni, nullptr) << LanguageFileName;

    QWidget sheet;
    auto* panel = new TAppConfDir(&sheet, config);
    EXPECT_EQ(panel->parent(), &sheet);  // the sheet owns it
    EXPECT_EQ(panel->title(), "Folders");
    const auto* label = panel->findChild<QLabel*>("lblDir2");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Post-processors");
    const QString base = QString::fromStdString(dir.Path());
    EXPECT_EQ(panel->FolderText(0), base + "/samples/");
    EXPECT_EQ(panel->FolderText(1), base + "/gcode/");
    EXPECT_EQ(panel->FolderText(2), base + "/pst/");
    EXPECT_EQ(panel->FolderText(3), base + "/tools/");
    EXPECT_EQ(panel->FolderText(4), base + "/samples/");
    LanguageIni.reset();
}
