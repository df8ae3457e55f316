// The progress bar with the user's break, on a clock of the test's own.
#include "QVBreak.h"

#include "EnglishTexts.h"
#include "FakeServices.h"
#include "QVLanguage.h"
#include "QVVariabili.h"

#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

namespace {
struct TProgressFixture : ::testing::Test {
    TEnglishTexts English;
    TFakeMainWindow Main;
    TInstalledServices Installed{&Main};
    QWidget Status;
    QLabel* Coordinate = new QLabel("X: 0 Y: 0", &Status);
    QProgressBar* Bar = new QProgressBar(&Status);
    uint32_t Clock = 5000;
    int Updates = 0;
    TUserBreak_ProgBar Progress;

    void SetUp() override
    {
        Status.show();
        Bar->hide();
        UserBreak = false;
        Progress.TickCount = [this] { return Clock; };
        Progress.Attach(Coordinate, Bar, true);
        QObject::connect(Bar, &QProgressBar::valueChanged, [this] { ++Updates; });
    }
    void TearDown() override { UserBreak = false; }
};
} // namespace

TEST_F(TProgressFixture, StepsMoveTheBarOnceASecond)
{
    Progress.Start();
    EXPECT_TRUE(Bar->isVisible());
    EXPECT_FALSE(Coordinate->isVisible());
    EXPECT_EQ(Main.StatusMessages.back(), GetLangString(445));
    Updates = 0;
    // Steps every 10 ms for 3.5 seconds.
    for (int ms = 10; ms <= 3500; ms += 10) {
        Clock = 5000 + static_cast<uint32_t>(ms);
        EXPECT_FALSE(Progress.Step(3500, ms));
    }
    EXPECT_EQ(Updates, 3);
    Clock += 2000;
    Progress.Step(200, 50);
    EXPECT_EQ(Bar->value(), 25);
    Progress.Finish();
    EXPECT_FALSE(Bar->isVisible());
    EXPECT_TRUE(Coordinate->isVisible());
    EXPECT_EQ(Main.StatusMessages.back(), "");
}

TEST_F(TProgressFixture, PositionsAreClamped)
{
    EXPECT_EQ(ProgressPercent(200, 50), 25);
    EXPECT_EQ(ProgressPercent(3, 2), 67);
    EXPECT_EQ(ProgressPercent(0, 5), 0);
    EXPECT_EQ(ProgressPercent(-4, 5), 0);
    EXPECT_EQ(ProgressPercent(10, 25), 100);
    EXPECT_EQ(ProgressPercent(10, -3), 0);
}

TEST_F(TProgressFixture, ABreakIsToldOnceAndAnsweredOnEveryLaterStep)
{
    // An Esc from before the job does not stop it.
    UserBreak = true;
    Progress.Start();
    Clock += 1500;
    EXPECT_FALSE(Progress.Step(10, 1));
    UserBreak = true;
    Clock += 1500;
    EXPECT_TRUE(Progress.Step(10, 2));
    ASSERT_EQ(Main.Boxes.size(), 1U);
    EXPECT_EQ(Main.Boxes[0].Text, GetLangString(720) + "\n" + GetLangString(721) + "\n" + GetLangString(722));
    EXPECT_EQ(Main.Boxes[0].Caption, GetLangString(450));
    EXPECT_EQ(Main.Boxes[0].Icon, TMsgIcon::Warning);
    // Within the second nothing is asked; after it the break stands, without a second box.
    EXPECT_FALSE(Progress.Step(10, 3));
    Clock += 1500;
    EXPECT_TRUE(Progress.Step(10, 4));
    EXPECT_EQ(Main.Boxes.size(), 1U);
    Progress.Finish();
}
