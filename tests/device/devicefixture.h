#pragma once
// A fixture that brings up a device component on an in-memory window
// (memorywindow.h) and a profile imitating a graphics card.

#include <gtest/gtest.h>

#include <memory>

#include "d3d9/adapterprofile.h"
#include "d3d9/callrecorder.h"
#include "defaultadapter.h"
#include "device/korvane.h"
#include "logfixture.h"
#include "memorywindow.h"

namespace wbx::testing {

// Logging on (messages and detail), halting off so that a failure shows up
// in the log instead of ending the test program.
inline const TKVDebugOption kTestOptions{kvoDebugMessage, kvoDetailedLog};

class DeviceFixture : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        SetDefaultAdapterProfile(HardwareProfile(true));
    }
    void TearDown() override {
        kv.reset();
        SetCallRecorder(nullptr);
        ResetDefaultAdapterProfile();
        LogFixture::TearDown();
    }
    // A started component on window, as the viewer makes one.
    TKorvane& Start(TKVDebugOption options = kTestOptions) {
        kv = std::make_unique<TKorvane>(&window);
        kv->SetDebugOption(options);
        kv->Loaded();
        return *kv;
    }
    // Start, then the device with a depth buffer as the viewer's window asks for it.
    TKorvane& StartWithDepth() {
        Start();
        kv->SetWindowMode(640, 480, DefaultDepthFormats, D3DPRESENT_INTERVAL_IMMEDIATE, D3DSWAPEFFECT_DISCARD,
                          D3DMULTISAMPLE_NONE, 0);
        return *kv;
    }
    void SetWindowMode(int width, int height) {
        kv->SetWindowMode(width, height, DefaultDepthFormats, D3DPRESENT_INTERVAL_IMMEDIATE,
                          D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
    }
    // Lines that report a failure.
    std::vector<std::string> FailureLines() const {
        std::vector<std::string> failures;
        for (const std::string& message : Trimmed())
            if (message.find("(Error Code = ") != std::string::npos) failures.push_back(message);
        return failures;
    }

    MemoryWindow window;
    std::unique_ptr<TKorvane> kv;
};

}  // namespace wbx::testing
