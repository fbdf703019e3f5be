#include "settings/Options.h"

#include "TempDir.h"

#include <gtest/gtest.h>

TEST(ReportFolderOption, StaysOutOfTheFileUntilSetAndCountsFromTheOptionsFolder) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    {
        COptionsImpl options(file, dir.path());
        EXPECT_TRUE(options.GetReportFolder().empty()) << "no report by default";
        ASSERT_TRUE(options.SaveOptions());
        EXPECT_EQ(ReadWholeFile(file).find("ReportFolder"), std::string::npos);
        options.SetReportFolder("site");
        ASSERT_TRUE(options.SaveOptions());
    }
    {
        COptionsImpl options(file, dir.path());
        EXPECT_EQ(options.GetReportFolder(), std::filesystem::absolute(dir.path()) / "site");
        options.SetReportFolder("");
        ASSERT_TRUE(options.SaveOptions());
    }
    // Switched off again: the empty folder is written, not left at its old value.
    COptionsImpl options(file, dir.path());
    EXPECT_TRUE(options.GetReportFolder().empty());
}
