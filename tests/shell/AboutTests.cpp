// The About box: the program's name and version, the translator's credit.
#include "UnitAbout.h"

#include "EnglishTexts.h"
#include "QVLanguage.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(AboutBox, FileInfoAndTranslationCredit)
{
    EXPECT_EQ(GetFileInfo("ProductName"), "Rastrel");
    EXPECT_FALSE(GetFileInfo("FileVersion").empty());
    EXPECT_EQ(GetFileInfo("CompanyName"), "");
    EXPECT_EQ(TranslationCreditText("english", "A. Translator"),
              "English language translated by A. Translator");
    EXPECT_EQ(TranslationCreditText("italiano", ""), "");
    EXPECT_EQ(TranslationCreditText("", "Someone"), " language translated by Someone");
}

TEST(AboutBox, ShowsNameVersionAndTheCreditOfTheLanguageFile)
{
    TEnglishTexts english;
    TfrmAbout about;
    about.show();
    const QString info = about.findChild<QLabel*>("nol_lblAboutInfo")->text();
    EXPECT_TRUE(
        info.startsWith(QString::fromStdString("Rastrel Version " + GetFileInfo("FileVersion") + "\n")))
        << info.toStdString();
    // The English file names no translator.
    EXPECT_EQ(about.findChild<QLabel*>("nol_lbltTranslation")->text(), "");
    EXPECT_EQ(TranslationCredit, "");
    EXPECT_EQ(about.windowTitle(), "About Rastrel");
    about.findChild<QPushButton*>("btnOk")->click();
    EXPECT_FALSE(about.isVisible());
}
