#include "publish/PublishState.h"
#include "publish/MqttPassword.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

TEST(PublishState, RoundTripsExactlyAndIsReplacedWhole) {
    TempDir dir;
    const auto file = PublishStateFile(dir / "history.nvh");
    EXPECT_EQ(file.filename(), "history.nvh.mqtt");
    const PublishStateRead missing = ReadPublishState(file);
    EXPECT_FALSE(missing.state);
    EXPECT_EQ(missing.error, "") << "no file yet is no error";

    // A date-time whose value no decimal text of seconds carries exactly.
    const CDateTime odd(46000.123456789012);
    const PublishState cases[] = {
        {}, {odd, std::nullopt}, {std::nullopt, 0}, {CDateTime(2026, 12, 8, 14, 35, 0), 5}};
    for (const PublishState& state : cases) {
        ASSERT_EQ(WritePublishState(file, state), "");
        const PublishStateRead read = ReadPublishState(file);
        EXPECT_EQ(read.error, "");
        ASSERT_TRUE(read.state);
        EXPECT_EQ(*read.state, state);
        EXPECT_FALSE(std::filesystem::exists(dir / "history.nvh.mqtt.new")) << "nothing left beside";
    }
    EXPECT_NE(ReadWholeFile(file).find("2026-12-08T14:35:00"), std::string::npos) << "readable to a person";
}

TEST(PublishState, ADamagedFileIsSaidAndNotGuessed) {
    TempDir dir;
    const auto file = dir / "history.nvh.mqtt";
    for (const char* content :
         {"", "garbage\n", "nivaro publish state 1\ndelivered x\n", "nivaro publish state 1\nannounced 9\n",
          "nivaro publish state 1\nwhat 1\n"}) {
        SCOPED_TRACE(content);
        std::ofstream(file) << content;
        const PublishStateRead read = ReadPublishState(file);
        EXPECT_FALSE(read.state);
        EXPECT_NE(read.error.find("is damaged"), std::string::npos) << read.error;
    }
}

TEST(PublishState, AFolderThatCannotBeWrittenIsAnError) {
    TempDir dir;
    std::filesystem::create_directory(dir / "locked");
    ::chmod((dir / "locked").c_str(), 0500);
    const std::string error = WritePublishState(dir / "locked" / "history.nvh.mqtt", PublishState{});
    ::chmod((dir / "locked").c_str(), 0700);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes anywhere";
    EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
}

TEST(MqttPassword, FromAnOwnerOnlyFileOrTheEnvironment) {
    TempDir dir;
    const auto file = dir / "password";
    std::ofstream(file) << "s3cret\n";
    struct Case {
        const char* name;
        mode_t mode;
        bool useFile;
        const char* env;
        std::optional<std::string> password;
        const char* error;
    };
    ::setenv("NIVARO_TEST_MQTT_PASSWORD", "from-env", 1);
    ::unsetenv("NIVARO_TEST_NO_SUCH_VARIABLE");
    const Case cases[] = {
        {"owner only, line end dropped", 0600, true, "", "s3cret", ""},
        {"readable by the group", 0640, true, "", std::nullopt, "may be read by others"},
        {"readable by all", 0644, true, "", std::nullopt, "may be read by others"},
        {"the file comes first", 0400, true, "NIVARO_TEST_MQTT_PASSWORD", "s3cret", ""},
        {"environment", 0600, false, "NIVARO_TEST_MQTT_PASSWORD", "from-env", ""},
        {"environment variable not set", 0600, false, "NIVARO_TEST_NO_SUCH_VARIABLE", std::nullopt,
         "holds no password"},
        {"none asked for", 0600, false, "", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::chmod(file.c_str(), c.mode);
        MqttOptions options;
        options.passwordFile = c.useFile ? file.string() : "";
        options.passwordEnv = c.env;
        const PasswordLookup lookup = LookUpPassword(options);
        EXPECT_EQ(lookup.password, c.password);
        if (*c.error)
            EXPECT_NE(lookup.error.find(c.error), std::string::npos) << lookup.error;
        else
            EXPECT_EQ(lookup.error, "");
    }
    MqttOptions missing;
    missing.passwordFile = (dir / "nope").string();
    EXPECT_NE(LookUpPassword(missing).error.find("cannot be read"), std::string::npos);
    ::unsetenv("NIVARO_TEST_MQTT_PASSWORD");
}
