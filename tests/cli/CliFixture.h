#pragma once

#include "CliRunner.h"
#include "TempDir.h"

#include "station/StationImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// A temporary directory to run the command line in.
class CliTest : public ::testing::Test {
protected:
    CliResult Run(const std::vector<std::string>& args) { return RunCli(dir.path(), args); }
    std::filesystem::path Path(const std::string& name) const { return dir / name; }
    std::string Read(const std::string& name) const { return ReadWholeFile(dir / name); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }

    EepromImage Image(const std::string& name) const {
        const std::string bytes = Read(name);
        EepromImage image{};
        EXPECT_EQ(bytes.size(), image.size()) << name;
        std::copy_n(bytes.begin(), std::min(bytes.size(), image.size()), image.begin());
        return image;
    }

    // An image of `datasets` measurements every 5 minutes from 2005-01-17 14:35.
    void CreateImage(const std::string& name, int transmitters, int datasets) {
        const CliResult r = Run({"sim", "create", name, "--transmitters", std::to_string(transmitters),
                                 "--datasets", std::to_string(datasets), "--start", "2005-01-17T14:35"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

    // A failure is one line on stderr.
    static void ExpectOneErrorLine(const CliResult& r, const std::string& mentions) {
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(mentions), std::string::npos) << r.err;
    }

    TempDir dir;
};
