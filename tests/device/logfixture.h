#pragma once
// Test support: a fresh log in a folder of the test's own, and the log's lines.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/diagnostics.h"

namespace wbx::testing {

// Every test starts as a new run: switches on, level 0, no lines written, and
// the log in an empty temporary folder. Halting is off unless a test turns it on.
class LogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "wbx_device_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        SetLogFolder(folder_);
        ResetLogState();
        HaltOnErrorSwitch = false;
    }
    void TearDown() override {
        ResetLogFolder();
        ResetLogState();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    const std::string& Folder() const { return folder_; }
    std::string LogPath() const { return folder_ + "/Korvane_DebugLog.txt"; }

    // The whole file, bytes as written.
    std::string LogText() const {
        std::ifstream in(LogPath(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The lines without their CR LF; every line must end in CR LF.
    std::vector<std::string> LogLines() const {
        const std::string text = LogText();
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            EXPECT_NE(end, std::string::npos) << "line without CR LF";
            if (end == std::string::npos) break;
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }
    // The messages of the lines: each line without "#nnnnn | ".
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> messages;
        for (const std::string& line : LogLines()) {
            const size_t bar = line.find(" | ");
            messages.push_back(bar == std::string::npos ? line : line.substr(bar + 3));
        }
        return messages;
    }

    // The messages without their indentation.
    std::vector<std::string> Trimmed() const {
        std::vector<std::string> messages = LogMessages();
        for (std::string& message : messages) message.erase(0, message.find_first_not_of(' '));
        return messages;
    }

private:
    std::string folder_;
};

}  // namespace wbx::testing
