#pragma once

#include "TempDir.h"
#include "settings/Options.h"

#include <gtest/gtest.h>

#include <memory>

// Points the process-wide options at a file in a temporary folder for the whole test program,
// with the recording history file beside it, so no test writes options outside that folder.
class OptionsInTempDir : public ::testing::Environment {
public:
    void SetUp() override {
        dir = std::make_unique<TempDir>();
        COptionsImpl::UseFile(*dir / "Nivaro.xml");
        Options().SetRecordingHistoryFile(*dir / "history.nvh");
    }
    void TearDown() override { dir.reset(); }
    static inline std::unique_ptr<TempDir> dir;
};
