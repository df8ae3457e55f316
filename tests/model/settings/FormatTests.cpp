#include "QVFormat.h"

#include "TempFolder.h"
#include "UnitConfig.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

// Runs each table under the C locale and under a German one, whose decimal separator is ','.
class NumberTextTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        Saved = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr)
            << "locale " << GetParam() << " missing (scripts/install-deps generates it)";
    }
    void TearDown() override { std::setlocale(LC_ALL, Saved.c_str()); }

    std::string Saved;
};

// The configuration in inch, made in a folder of its own; the formats read it through AppConfig.
class TInchConfig {
public:
    TInchConfig()
    {
        ::setenv("RASTREL_DATA_DIR", Dir.Path().c_str(), 1);
        Config = std::make_unique<TAppConfig>();
        ::unsetenv("RASTREL_DATA_DIR");
        Config->SetUnits(0);
        AppConfig = Config.get();
    }
    TInchConfig(const TInchConfig&) = delete;
    TInchConfig& operator=(const TInchConfig&) = delete;

private:
    TTempFolder Dir;
    std::unique_ptr<TAppConfig> Config;
};

}  // namespace

TEST_P(NumberTextTest, CoordinateTexts)
{
    struct Case {
        const char* name;
        std::string (*format)(double);
        double value;
        const char* expected;
        bool inch = false;  // millimetres (no configuration) unless set
    };
    const Case cases[] = {
        {"coord 12.5", FormatCoord, 12.5, "12.5"},
        {"coord 3", FormatCoord, 3, "3"},
        {"coord 100 keeps its zeros", FormatCoord, 100, "100"},
        {"coord rounds", FormatCoord, 1.23456, "1.235"},
        {"coord negative", FormatCoord, -2.5, "-2.5"},
        {"coord tiny negative is zero", FormatCoord, -0.0001, "0"},
        {"coord negative zero", FormatCoord, -0.0, "0"},
        {"coord big", FormatCoord, 123456789.5, "123456789.5"},
        {"coord2 mm", FormatCoord2, 0.123456, "0.123"},
        {"X", FormatX, -2.5, "X-2.5"},
        {"Y", FormatY, 7, "Y7"},
        {"sp keeps point", FormatCoordSp, 3, " 3."},
        {"sp", FormatCoordSp, 3.25, " 3.25"},
        {"sp trim", FormatCoordSpTrim, 3, " 3"},
        {"3dec", Format3Dec, 1.5, "1.5"},
        {"3dec whole", Format3Dec, 2, "2"},
        // Single precision shows from about 16384 on.
        {"3dec single", Format3Dec, 16384.001, "16384.002"},
        {"3dec single 70000", Format3Dec, 70000.123, "70000.125"},
        {"3dec beyond single range", Format3Dec, 1e300, "inf"},
        {"inch rounds to four", FormatCoord, 0.12345, "0.1235", true},
        {"inch 100", FormatCoord, 100, "100", true},
        {"inch coord2", FormatCoord2, 0.123456, "0.12346", true},
        {"inch sp", FormatCoordSp, 1.5, " 1.5", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<TInchConfig> inch;
        if (c.inch)
            inch.emplace();
        EXPECT_EQ(c.format(c.value), c.expected);
    }
    EXPECT_EQ(Format3DecRaw(2.0f), "2.");
}

TEST_P(NumberTextTest, Seconds)
{
    EXPECT_EQ(FormatSeconds(3725), " 1h, 02m, 05s");
    EXPECT_EQ(FormatSeconds(59), " 0h, 00m, 59s");
    EXPECT_EQ(FormatSeconds(90000), " 25h, 00m, 00s");
}

TEST_P(NumberTextTest, CompleteNumbers)
{
    struct Case {
        const char* text;
        bool valid;
        double value;
    };
    const Case cases[] = {
        {"", false, 0},      {"-", false, 0},      {".", false, 0},     {"-.", false, 0},
        {"--", false, 0},    {"1-", false, 0},     {"1.2.3", false, 0}, {"1,5", false, 0},
        {" 1", false, 0},    {"1e5", false, 0},    {"+1", false, 0},    {"inf", false, 0},
        {"7", true, 7},      {"-7", true, -7},     {".5", true, 0.5},   {"5.", true, 5},
        {"-.5", true, -0.5}, {"12.25", true, 12.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        EXPECT_EQ(NumeroValido(c.text), c.valid);
        if (c.valid) {
            EXPECT_EQ(ParseUserNumber(c.text).value_or(-999), c.value);
        }
    }
    EXPECT_FALSE(NumeroValido(std::string(400, '9')));  // too big for a Double
}

std::string LocaleName(const ::testing::TestParamInfo<const char*>& param)
{
    return param.index == 0 ? "C" : "German";
}
INSTANTIATE_TEST_SUITE_P(Locales, NumberTextTest, ::testing::Values("C", "de_DE.UTF-8"), LocaleName);

TEST(KeyFilters, Tables)
{
    struct Case {
        const char* name;
        TKeyFilterProc filter;
        const char* keys;     // typed
        const char* results;  // what the field gets, '_' for a rejected key
    };
    // Keys: digit, '-', '.', ',', backspace, Enter, letter, '+', ' '.
    const char typed[] = "5-.,\b\ra+ ";
    const Case cases[] = {
        {"SoloNumeriEMenoInvio", SoloNumeriEMenoInvio, typed, "5-..\b\r___"},
        {"SoloNumeriEMeno", SoloNumeriEMeno, typed, "5-..\b____"},
        {"SoloNumeriPos", SoloNumeriPos, typed, "5_..\b____"},
        {"SoloNumeriInteri", SoloNumeriInteri, typed, "5___\b____"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string got;
        for (const char* k = c.keys; *k; ++k) {
            char key = *k;
            c.filter(key);
            got += key == 0 ? '_' : key;
        }
        EXPECT_EQ(got, c.results);
    }
}
