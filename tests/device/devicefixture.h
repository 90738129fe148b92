#pragma once
// Test support: an owner window in memory and a fixture that brings up a
// device component on a profile imitating a graphics card.

#include <gtest/gtest.h>

#include <memory>

#include "d3d9/adapterprofile.h"
#include "d3d9/callrecorder.h"
#include "d3d9/presentationtarget.h"
#include "device/korvane.h"
#include "device/ownerwindow.h"
#include "logfixture.h"

namespace wbx::test {

// A window with borders: the outer frame is the client area plus 16 x 39 pixels.
class MemoryWindow : public TKVOwnerWindow, public PresentationTarget {
public:
    static constexpr int kBorderWidth = 16;
    static constexpr int kBorderHeight = 39;

    int ClientWidth() const override { return clientWidth; }
    int ClientHeight() const override { return clientHeight; }
    int Left() const override { return left; }
    int Top() const override { return top; }
    int Width() const override { return clientWidth + kBorderWidth; }
    int Height() const override { return clientHeight + kBorderHeight; }
    void SetWindowPos(int newLeft, int newTop, int width, int height) override {
        left = newLeft;
        top = newTop;
        clientWidth = width - kBorderWidth;
        clientHeight = height - kBorderHeight;
        shown = true;
        ++setWindowPosCalls;
    }
    HWND PresentationTarget() override { return this; }
    void PresentFrame(const uint8_t*, int, int, int) override {}

    int clientWidth = 640;
    int clientHeight = 480;
    int left = 192;
    int top = 114;
    bool shown = false;
    int setWindowPosCalls = 0;
};

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

}  // namespace wbx::test
