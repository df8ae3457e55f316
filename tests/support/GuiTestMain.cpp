// The GL tests need one QApplication on a real display (xvfb-run gives one). Listing the tests,
// which the build does, needs none.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>

// libdbus and fontconfig keep blocks that Qt's xcb platform and fonts leave with them until exit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    std::unique_ptr<QApplication> app;
    if (!listing)
        app = std::make_unique<QApplication>(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
#if defined(__SANITIZE_ADDRESS__)
    // Check for leaks now, while Qt and the GL driver are loaded: their own teardown (D-Bus,
    // the unloaded driver) leaves blocks we neither own nor can name in a suppression.
    if (!listing && __lsan_do_recoverable_leak_check() != 0)
        rc = 1;
    std::fflush(nullptr);
    _exit(rc);
#endif
    return rc;
}
