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
