#include "settings/UserDataFolder.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(UserDataFolderTest, XdgDataHomeFirstThenHome) {
    struct Case {
        const char* xdgDataHome;
        const char* home;
        std::optional<std::filesystem::path> folder;
    };
    const Case cases[] = {
        {"/data/anna", "/home/anna", "/data/anna/nivaro"},
        {nullptr, "/home/anna", "/home/anna/.local/share/nivaro"},
        {"", "/home/anna", "/home/anna/.local/share/nivaro"},
        // A relative XDG_DATA_HOME is invalid and ignored.
        {"data", "/home/anna", "/home/anna/.local/share/nivaro"},
        {nullptr, nullptr, std::nullopt},
        {nullptr, "", std::nullopt},
        {"relative", "relative", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserDataFolder(c.xdgDataHome, c.home), c.folder)
            << (c.xdgDataHome ? c.xdgDataHome : "(unset)") << " " << (c.home ? c.home : "(unset)");
}

TEST(UserDataFolderTest, EnteringCreatesTheFolderAndMakesItCurrent) {
    TempDir dir;
    CurrentDirectory restore(dir.path());
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const std::filesystem::path xdg = dir / "deep" / "share";
    ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    const std::filesystem::path entered = EnterUserDataFolder();
    EXPECT_EQ(entered, xdg / "nivaro");
    EXPECT_TRUE(std::filesystem::is_directory(xdg / "nivaro"));
    EXPECT_EQ(std::filesystem::current_path(), xdg / "nivaro");

    // A file where the folder should be is reported, not ignored.
    WriteWholeFile(dir / "file", "x");
    ::setenv("XDG_DATA_HOME", (dir / "file").c_str(), 1);
    EXPECT_THROW(EnterUserDataFolder(), std::runtime_error);

    if (oldXdg)
        ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}
