#pragma once
// Checks that a call raises exception class E with exactly the given text.
#include <gtest/gtest.h>

#include <functional>
#include <string>

template <class E>
void ExpectError(const std::function<void()>& call, const std::string& text)
{
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (const E& e) {
        EXPECT_EQ(e.what(), text);
    }
}

// Checks that a call raises exception class E whose text contains Part (a reason from a
// library, beside our own words).
template <class E> void ExpectErrorContaining(const std::function<void()>& call, const std::string& Part)
{
    try {
        call();
        ADD_FAILURE() << "no exception, expected one containing: " << Part;
    } catch (const E& e) {
        EXPECT_NE(std::string(e.what()).find(Part), std::string::npos) << e.what();
    }
}
