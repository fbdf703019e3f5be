// Two names of one file are found the same whether the file exists or not, however each is written.
#include "base/FileIdentity.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(FileIdentity, NamesOfOneFileAreTheSame) {
    TempDir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::ofstream(dir / "there.img") << "x";
    std::filesystem::create_symlink("there.img", dir / "link.img");
    const struct {
        std::filesystem::path a, b;
        bool same;
    } cases[] = {
        {"there.img", dir / "there.img", true},          {"link.img", "there.img", true},
        {"missing.lock", dir / "missing.lock", true}, // neither exists: relative and absolute alike
        {"./sub/../missing.lock", "missing.lock", true}, {"missing.lock", "there.img", false},
        {"missing.lock", "missing.nvh", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSameFile(c.a, c.b), c.same) << c.a << " " << c.b;
    std::filesystem::current_path(previous);
}
