#pragma once
// The English language file of the build, open for the length of one test.
#include "QVLanguage.h"

#include <gtest/gtest.h>

class TEnglishTexts {
public:
    TEnglishTexts()
    {
        LanguageIni = OpenLanguageFile("languages/english");
        EXPECT_NE(LanguageIni, nullptr) << LanguageFileName;
    }
    ~TEnglishTexts() { LanguageIni.reset(); }
    TEnglishTexts(const TEnglishTexts&) = delete;
    TEnglishTexts& operator=(const TEnglishTexts&) = delete;
};
