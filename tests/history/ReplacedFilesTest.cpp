#include "HistoryTestSupport.h"
#include "TempDir.h"
#include "base/FileReplacement.h"
#include "history/HistoryData.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <set>

namespace fs = std::filesystem;

namespace {

// Every file the program replaces as a whole: the three export formats and the history rewrite.
// The history rewrite replaces the history file itself ("real"), the exports a file of their own.
struct ReplacedFile {
    const char* name;
    const char* target; // the file replaced
    std::function<HistoryOutcome(CHistoryData& store, const fs::path& target)> write;
    // How the new content starts (an SQLite database, a history record...).
    std::function<bool(const std::string& content)> written;

    friend void PrintTo(const ReplacedFile& file, std::ostream* out) { *out << file.name; }
};

HistoryOutcome ExportAs(CHistoryData& store, const fs::path& target, ExportFormat format) {
    return store.Export(target, ColumnFormat{}, {}, format);
}

const ReplacedFile Cases[] = {
    {"text export", "out",
     [](CHistoryData& s, const fs::path& t) { return ExportAs(s, t, ExportFormat::Text); },
     [](const std::string& c) { return c.starts_with("\"Date\";"); }},
    {"csv export", "out",
     [](CHistoryData& s, const fs::path& t) { return ExportAs(s, t, ExportFormat::Csv); },
     [](const std::string& c) { return c.starts_with("Date Time,"); }},
    {"sqlite export", "out",
     [](CHistoryData& s, const fs::path& t) { return ExportAs(s, t, ExportFormat::Sqlite); },
     [](const std::string& c) { return c.starts_with("SQLite format 3"); }},
    {"history rewrite", "real",
     [](CHistoryData& s, const fs::path& t) { return s.Delete(t, std::vector{Series(3)[0]}); },
     [](const std::string& c) {
         return c == RecordBytes({Series(3)[1], Series(3)[2]});
     }},
};

class ReplacedFilesTest : public ::testing::TestWithParam<ReplacedFile> {
protected:
    void SetUp() override {
        // The store holds the history that the rewrite case names as its target.
        ASSERT_TRUE(store.Append(dir / "real", Series(3)));
        WriteWholeFile(dir / "victim", "the user's own file");
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    TempDir dir;
    CHistoryData store;
};

} // namespace

// The old fixed temporary name "<target>.tmp", planted as a link to another file: that file is
// never written, and the replacement leaves no file of its own behind.
TEST_P(ReplacedFilesTest, APlantedLinkAtATemporaryNameIsNeverWrittenThrough) {
    const std::string target = GetParam().target;
    fs::create_symlink(dir / "victim", dir / (target + ".tmp"));
    const HistoryOutcome outcome = GetParam().write(store, dir / target);
    ASSERT_TRUE(outcome) << outcome.reason;
    EXPECT_EQ(ReadWholeFile(dir / "victim"), "the user's own file");
    EXPECT_TRUE(GetParam().written(ReadWholeFile(dir / target)));
    EXPECT_EQ(Names(), (std::set<std::string>{"real", "victim", target, target + ".tmp"}));
}

// A target that is a link stays a link; the file it points to gets the content.
TEST_P(ReplacedFilesTest, ALinkAsTheTargetStaysAndItsFileIsReplaced) {
    const std::string target = GetParam().target;
    fs::create_symlink(target, dir / "link");
    const HistoryOutcome outcome = GetParam().write(store, dir / "link");
    ASSERT_TRUE(outcome) << outcome.reason;
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(fs::read_symlink(dir / "link"), target);
    EXPECT_TRUE(GetParam().written(ReadWholeFile(dir / target)));
    EXPECT_EQ(Names(), (std::set<std::string>{"link", "real", "victim", target}));
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, ReplacedFilesTest, ::testing::ValuesIn(Cases), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
});

TEST(FileReplacementTest, UniqueNamesAndNothingLeftOnFailure) {
    TempDir dir;
    WriteWholeFile(dir / "target", "old");
    {
        FileReplacement first(dir / "target"), second(dir / "target");
        ASSERT_TRUE(first.Started() && second.Started());
        EXPECT_NE(first.Temporary(), second.Temporary());
        EXPECT_EQ(first.Temporary().parent_path(), dir.path());
        first.Stream() << "new";
        first.Fail("the caller gave up");
        EXPECT_FALSE(first.Commit(false));
        EXPECT_EQ(first.Reason(), "the caller gave up");
    } // second is destroyed uncommitted
    EXPECT_EQ(ReadWholeFile(dir / "target"), "old");
    EXPECT_EQ(FilesIn(dir.path()), 1u);

    // A folder that does not exist: the system's reason.
    fs::create_symlink(dir / "missing" / "file", dir / "dangling");
    FileReplacement nowhere(dir / "dangling");
    EXPECT_FALSE(nowhere.Started());
    EXPECT_EQ(nowhere.Reason(), "No such file or directory");
    EXPECT_FALSE(nowhere.Commit(false));
}

TEST(FileReplacementTest, KeepsTheReplacedFilesPermissions) {
    TempDir dir;
    WriteWholeFile(dir / "target", "old");
    fs::permissions(dir / "target", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    FileReplacement replacement(dir / "target");
    replacement.Stream() << "new";
    ASSERT_TRUE(replacement.Commit(true)) << replacement.Reason();
    EXPECT_EQ(ReadWholeFile(dir / "target"), "new");
    EXPECT_EQ(fs::status(dir / "target").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A new file comes out as any file the process creates (the creation mask applies); a file that
// replaces another is its owner's alone until it takes that one's permissions, so a private file's
// new content is never readable by others on the way.
TEST(FileReplacementTest, NewFilesFollowTheCreationMaskReplacementsStayPrivateUntilCommitted) {
    const mode_t mask = ::umask(027);
    TempDir dir;
    FileReplacement fresh(dir / "new");
    ASSERT_TRUE(fresh.Stream() << "streamed, ");
    ASSERT_TRUE(fresh.Write("then written"));
    ASSERT_TRUE(fresh.Commit(false)) << fresh.Reason();
    EXPECT_EQ(ReadWholeFile(dir / "new"), "streamed, then written");
    EXPECT_EQ(fs::status(dir / "new").permissions(), fs::perms(0640));

    WriteWholeFile(dir / "shared", "old");
    fs::permissions(dir / "shared", fs::perms(0604));
    FileReplacement replacement(dir / "shared");
    ASSERT_TRUE(replacement.Write("new"));
    EXPECT_EQ(fs::status(replacement.Temporary()).permissions(), fs::perms(0600));
    ASSERT_TRUE(replacement.Commit(false)) << replacement.Reason();
    EXPECT_EQ(ReadWholeFile(dir / "shared"), "new");
    EXPECT_EQ(fs::status(dir / "shared").permissions(), fs::perms(0604));
    ::umask(mask);
}
