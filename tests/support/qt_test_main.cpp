// Test entry for Qt tests: one QApplication on the offscreen platform for the whole run.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // A home and data folder of the run's own, so files a test deletes land in a trash
    // that goes with the run, never in the user's.
    char pattern[] = "/tmp/vantorel-home-XXXXXX";
    const char* home = mkdtemp(pattern);
    if (home) {
        setenv("HOME", home, 1);
        const std::string data = std::string(home) + "/data";
        std::filesystem::create_directory(data);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ec;
    if (home) std::filesystem::remove_all(home, ec);
    return result;
}
