#include "CliFixture.h"

#include <fstream>

namespace {

class ReportCommandTest : public CliTest {
protected:
    void WriteOptions(const std::string& elements) {
        std::ofstream(Path("Nivaro.xml")) << "<options>" << elements << "</options>";
    }
    CliResult Import() { return Run({"--port", "sim:station.img", "import"}); }
};

TEST_F(ReportCommandTest, ReportWritesTheFolderAndNeedsOne) {
    CreateImage("station.img", 2, 40);
    ASSERT_EQ(Import().exitCode, 0);
    const CliResult written = Run({"report", "--out", "site"});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_TRUE(Exists("site/index.html"));
    EXPECT_TRUE(Exists("site/2005-01.html"));
    EXPECT_NE(written.out.find("files written, 0 unchanged"), std::string::npos) << written.out;

    const CliResult none = Run({"report"});
    EXPECT_EQ(none.exitCode, 1);
    ExpectOneErrorLine(none, "--out DIR or set the option ReportFolder");
}

TEST_F(ReportCommandTest, AFileOfTheOwnerIsLeftAloneWithAWarning) {
    CreateImage("station.img", 1, 10);
    ASSERT_EQ(Import().exitCode, 0);
    std::filesystem::create_directory(Path("site"));
    std::ofstream(Path("site/index.html")) << "mine";
    const CliResult r = Run({"report", "--out", "site"});
    EXPECT_EQ(r.exitCode, 2);
    ExpectOneErrorLine(r, "index.html left alone");
    EXPECT_EQ(Read("site/index.html"), "mine");
    EXPECT_TRUE(Exists("site/records.html"));
}

TEST_F(ReportCommandTest, TheOptionMakesEveryImportRefreshTheReport) {
    WriteOptions("<ReportFolder value=\"site\"/><LanguageID value=\"1036\"/>");
    CreateImage("station.img", 2, 20);
    const CliResult first = Import();
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("Report refreshed:"), std::string::npos) << first.out;
    EXPECT_NE(Read("site/records.html").find("<html lang=\"fr\">"), std::string::npos);

    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "3"}).exitCode, 0);
    const std::string before = Read("site/index.html");
    ASSERT_EQ(Import().exitCode, 0);
    EXPECT_NE(Read("site/index.html"), before);
}

TEST_F(ReportCommandTest, AReportThatCannotBeWrittenDoesNotFailTheImport) {
    std::ofstream(Path("blocker")) << "a file where the folder should be";
    WriteOptions("<ReportFolder value=\"blocker/site\"/>");
    CreateImage("station.img", 1, 10);
    const CliResult r = Import();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ExpectOneErrorLine(r, "warning: report not refreshed: cannot create the folder");
    EXPECT_NE(r.out.find("Appended:                  10"), std::string::npos) << r.out;
}

} // namespace
