// The vertical ruler's scale: where the marks and the values go.
#include "VertRuler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {
// The rows of the major marks (those from x0 to x1) with their values.
std::vector<std::pair<int, QString>> MajorMarks(const TRulerMarks& M, int X0, int X1)
{
    std::vector<std::pair<int, QString>> majors;
    for (const TRulerLine& l : M.Lines)
        if (l.X0 == X0 && l.X1 == X1)
            for (const TRulerText& t : M.Texts)
                if (t.Y == l.Y - 4 && std::find_if(majors.begin(), majors.end(), [&](const auto& m) {
                                          return m.first == l.Y;
                                      }) == majors.end())
                    majors.emplace_back(l.Y, t.Text);
    std::sort(majors.begin(), majors.end());
    return majors;
}
} // namespace

TEST(VertRuler, DefaultsOnA25By300Control)
{
    TRulerSettings s;
    s.ShowUnit = false;
    const auto majors = MajorMarks(RulerMarks(s), 1, 10);
    // Downwards 100, 120 ... 300 labelled 0 ... 10; upwards 80, 60 ... labelled -1, -2 ...
    for (int k = 0; k <= 10; ++k)
        EXPECT_TRUE(
            std::count(majors.begin(), majors.end(), std::make_pair(100 + 20 * k, QString::number(k))))
            << k;
    for (int k = 1; k <= 5; ++k)
        EXPECT_TRUE(
            std::count(majors.begin(), majors.end(), std::make_pair(100 - 20 * k, QString::number(-k))))
            << k;
    // A half mark between two majors, minor marks every 2 pixels.
    const TRulerMarks m = RulerMarks(s);
    EXPECT_TRUE(std::any_of(m.Lines.begin(), m.Lines.end(),
                            [](const TRulerLine& l) { return l.Y == 110 && l.X0 == 1 && l.X1 == 7; }));
    EXPECT_TRUE(std::any_of(m.Lines.begin(), m.Lines.end(),
                            [](const TRulerLine& l) { return l.Y == 102 && l.X0 == 1 && l.X1 == 5; }));
}

TEST(VertRuler, CasesOfTheSettings)
{
    struct TCase {
        const char* Name;
        int Factor, Offset;
        double Increment;
        TPlaceVert Edge;
        int X0, X1, Row;
        QString Value;
    };
    const TCase cases[] = {
        {"negative increment, one pixel a step", 1, 100, -10, plLeft, 1, 10, 110, "-10"},
        {"negative increment, second division", 1, 100, -10, plLeft, 1, 10, 120, "-20"},
        {"marks from the right edge", 2, 100, 1, plRight, 23, 15, 140, "2"},
        {"fractional increment", 2, 100, 0.5, plLeft, 1, 10, 160, "1.5"},
    };
    for (const TCase& c : cases) {
        TRulerSettings s;
        s.Factor = c.Factor;
        s.Offset = c.Offset;
        s.TextIncrement = c.Increment;
        s.EdgePos = c.Edge;
        const auto majors = MajorMarks(RulerMarks(s), c.X0, c.X1);
        EXPECT_TRUE(std::count(majors.begin(), majors.end(), std::make_pair(c.Row, c.Value))) << c.Name;
    }
    // With the marks on the right the values stand to their left.
    TRulerSettings right;
    right.EdgePos = plRight;
    for (const TRulerText& t : RulerMarks(right).Texts)
        EXPECT_EQ(t.X, 25 - 10 - 10);
}

TEST(VertRuler, UnitTextAndDegenerateSettings)
{
    TRulerSettings s;
    s.UnitTextHeight = 8;
    TRulerMarks m = RulerMarks(s);
    ASSERT_FALSE(m.Texts.empty());
    EXPECT_EQ(m.Texts.back().Text, "mm");
    EXPECT_EQ(m.Texts.back().Y, 300 - 8 - 4);
    s.ShowUnit = false;
    m = RulerMarks(s);
    EXPECT_TRUE(
        std::none_of(m.Texts.begin(), m.Texts.end(), [](const TRulerText& t) { return t.Text == "mm"; }));
    // A step of 0 pixels would divide by zero; a far zero line would loop for ever upwards.
    s.Factor = 0;
    s.Offset = 2000000000;
    m = RulerMarks(s);
    EXPECT_LT(m.Lines.size(), 100000U);
}

// A zero line far above the control: the downward walk made every division from it, a hundred
// million for a line 2e9 pixels up, and overflowed its rows beyond that.
TEST(VertRuler, AZeroLineFarAboveMakesOnlyTheDivisionsSeen)
{
    struct TCase {
        const char* Name;
        int32_t Offset;
        int FirstRow;  // the first major mark's row
        QString First; // and its value
    };
    const TCase cases[] = {
        {"1,000 pixels up", -1000, 0, "50"},
        {"1,010 pixels up, a division cut by the top edge", -1010, 10, "51"},
        {"20 million pixels up", -20'000'000, 0, "1000000"},
        {"the farthest row", INT32_MIN, 12, "107374183"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRulerSettings s;
        s.Offset = c.Offset;
        const TRulerMarks m = RulerMarks(s);
        // Sixteen divisions at most show on 300 rows, of 13 lines each.
        EXPECT_LE(m.Lines.size(), 16u * 13u);
        const auto majors = MajorMarks(m, 1, 10);
        ASSERT_FALSE(majors.empty());
        const auto first =
            std::find_if(majors.begin(), majors.end(), [](const auto& k) { return k.first >= 0; });
        ASSERT_NE(first, majors.end());
        EXPECT_EQ(first->first, c.FirstRow);
        EXPECT_EQ(first->second, c.First);
        EXPECT_LE(majors.back().first, 300);
    }
}

TEST(VertRuler, SettersRedrawTheControl)
{
    QWidget parent;
    TVertRuler ruler(&parent);
    EXPECT_EQ(ruler.parentWidget(), &parent);
    EXPECT_EQ(ruler.geometry(), QRect(30, 122, 25, 300));
    ruler.SetScalaOffset(40);
    ruler.SetScalaFactor(3);
    ruler.SetTextUnit("inch");
    const TRulerMarks m = ruler.Marks();
    EXPECT_TRUE(std::any_of(m.Lines.begin(), m.Lines.end(), [](const TRulerLine& l) { return l.Y == 70; }));
    EXPECT_EQ(m.Texts.back().Text, "inch");
}
