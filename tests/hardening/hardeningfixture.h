#pragma once
// The hardening suite's device component: on an in-memory window, whose
// adapter also offers palette (P8) textures, brought up silently (no log, no
// halting) as the viewer does.

#include <gtest/gtest.h>

#include <memory>

#include "defaultadapter.h"
#include "device/diagnostics.h"
#include "device/korvane.h"
#include "memorywindow.h"
#include "tempfolder.h"
#include "viewercomponent.h"

namespace wbx::testing {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        HaltOnErrorSwitch = false;
        DebugMessageSwitch = false;
        DetailedLogSwitch = false;
        AdapterProfile profile = DefaultAdapterProfile();
        for (DeviceTypeProfile& type : profile.DeviceTypes) type.TextureFormats.push_back(D3DFMT_P8);
        SetDefaultAdapterProfile(profile);
        KV = StartViewerComponent(window_);
        ASSERT_NE(KV->Device, nullptr);
    }
    void TearDown() override {
        KV.reset();
        ResetDefaultAdapterProfile();
    }

    std::unique_ptr<TKorvane> KV;

private:
    MemoryWindow window_;
};

}  // namespace wbx::testing
