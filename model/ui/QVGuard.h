#pragma once
// One guard for every Qt slot and event handler that calls our code, so that no exception crosses
// into Qt: Recover first puts the caller's state right, then the message is shown in a message box
// through the main window's hook, captioned with language text 450.
#include <functional>

// Runs Work. When it raises, Recover runs (what it raises in turn is swallowed: it is the way
// back) and the message is shown at once. False when Work raised.
bool GuardedCall(const std::function<void()>& Work, const std::function<void()>& Recover = nullptr) noexcept;

// The same for code that runs inside a paint, where no modal box may open: the message is shown
// once control is back in the event loop.
bool GuardedCallLater(const std::function<void()>& Work,
                      const std::function<void()>& Recover = nullptr) noexcept;
