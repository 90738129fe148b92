#pragma once
// An owner window in memory for a device component: a client area inside a
// frame of fixed borders, a position, whether SetWindowPos has shown it, and a
// capture target as the window its device presents into (without pacing).

#include "capturetarget.h"
#include "device/ownerwindow.h"

namespace wbx::testing {

class MemoryWindow : public TKVOwnerWindow {
public:
    // The frame around the client area, in pixels (borders and title).
    static constexpr int kBorderWidth = 16;
    static constexpr int kBorderHeight = 39;

    int ClientWidth() const override { return clientWidth; }
    int ClientHeight() const override { return clientHeight; }
    int Left() const override { return left; }
    int Top() const override { return top; }
    int Width() const override { return clientWidth + kBorderWidth; }
    int Height() const override { return clientHeight + kBorderHeight; }
    void SetWindowPos(int newLeft, int newTop, int width, int height) override;
    HWND PresentationTarget() override { return &Capture; }

    CaptureTarget Capture{CaptureTarget::kNoPacing};
    int clientWidth = 640;
    int clientHeight = 480;
    int left = 192;
    int top = 114;
    bool shown = false;
    int setWindowPosCalls = 0;
};

}  // namespace wbx::testing
