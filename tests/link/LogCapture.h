#pragma once

#include "TempDir.h"
#include "log/Logger.h"

#include <sstream>
#include <string>
#include <vector>

// Sends the diagnostic log to a file in a fresh directory and reads it back as texts without
// the time and thread prefix.
class LogCapture {
public:
    explicit LogCapture(int level = 50) : m_cwd(m_dir.path()) {
        CLogger& log = CLogger::Instance();
        log.SetClock([] { return CLogger::LocalTime{2005, 1, 17, 12, 0, 0, 0}; });
        log.SetLevel(level);
        log.SetFileOutput(true);
    }
    ~LogCapture() {
        CLogger& log = CLogger::Instance();
        log.SetFileOutput(false);
        log.SetLevel(0);
        log.SetClock({});
    }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadWholeFile(m_dir / "log__2005_01_17.txt"));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const auto colon = line.find(": ");
            lines.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
        }
        return lines;
    }

    // Lines from the first one equal to text on.
    std::vector<std::string> LinesFrom(const std::string& text) const {
        const auto all = Lines();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i] == text)
                return {all.begin() + static_cast<long>(i), all.end()};
        return {};
    }

private:
    TempDir m_dir;
    CurrentDirectory m_cwd;
};
