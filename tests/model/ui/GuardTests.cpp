// The guard around Qt handlers: the way back runs first, then the message is shown once, at once
// or after the paint under way.
#include "QVGuard.h"

#include "FakeServices.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

TEST(Guard, AnExceptionIsShownAfterTheWayBack)
{
    struct TCase {
        const char* Name;
        bool Later;
        std::function<void()> Work;
        const char* Text; // null: nothing shown
    };
    const std::vector<TCase> cases = {
        {"no exception", false, [] {}, nullptr},
        {"a message", false, [] { throw std::runtime_error("Bad input."); }, "Bad input."},
        {"something else", false, [] { throw 42; }, "An unexpected error occurred."},
        {"inside a paint, shown afterwards", true, [] { throw std::runtime_error("Bad frame."); },
         "Bad frame."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeMainWindow main;
        TInstalledServices installed(&main);
        std::vector<std::string> order;
        const auto recover = [&] {
            order.push_back("recover");
            // The way back failing too changes nothing.
            throw std::runtime_error("ignored");
        };
        const bool ok = c.Later ? GuardedCallLater(c.Work, recover) : GuardedCall(c.Work, recover);
        EXPECT_EQ(ok, c.Text == nullptr);
        if (c.Later) {
            EXPECT_TRUE(main.Boxes.empty());
        }
        QCoreApplication::processEvents();
        ASSERT_EQ(main.Boxes.size(), c.Text ? 1u : 0u);
        EXPECT_EQ(order.size(), c.Text ? 1u : 0u);
        if (c.Text) {
            EXPECT_EQ(main.Boxes[0].Text, c.Text);
            EXPECT_EQ(main.Boxes[0].Icon, TMsgIcon::Error);
        }
    }
}
