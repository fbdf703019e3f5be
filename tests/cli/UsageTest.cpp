// Mistakes on the command line: one line that says what is wrong and how to go on, exit code 1,
// and nothing touched.
#include "CliFixture.h"

#include <gtest/gtest.h>

TEST_F(CliTest, UsageMistakesSayWhatIsWrong) {
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"imprt"}, "nivaro-cli: unknown command 'imprt'; did you mean 'import'? (commands: ping,"},
        {{"xyzzy"}, "nivaro-cli: unknown command 'xyzzy' (commands: ping,"},
        {{}, "nivaro-cli: A subcommand is required"},
        {{"show", "--last", "0"}, "nivaro-cli: --last: must be a whole number of at least 1, not 0"},
        {{"show", "--last", "-3"}, "must be a whole number of at least 1, not -3"},
        {{"show", "--last", "two"}, "must be a whole number of at least 1, not two"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.says;
        ExpectOneErrorLine(r, c.says);
        EXPECT_LT(r.err.size(), 200u) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(Exists("Nivaro.xml"));
        EXPECT_FALSE(Exists("history.nvh"));
    }
}

TEST_F(CliTest, VersionIsPrinted) {
    const CliResult r = Run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "nivaro-cli 1.0.0\n");
}
