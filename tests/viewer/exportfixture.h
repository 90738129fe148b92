#pragma once
// What the tests of the exports share: a generated data folder set up as the
// data folder in use, and the readers that take the exported files apart.

#include <gtest/gtest.h>

#include <string>

#include "sampledata/datafolder.h"
#include "tempfolder.h"
#include "viewer/datafolder.h"
#include "viewer/pathresolver.h"

namespace wbx::testing {

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        SessionPathResolver().Clear();
        data = dir / "data/";
        sampledata::GenerateDataFolder(data);
        ASSERT_TRUE(CheckDataFolder(data));
    }
    void TearDown() override { SessionPathResolver().Clear(); }

    TempFolder dir;
    std::string data;
};

}  // namespace wbx::testing
