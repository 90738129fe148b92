#pragma once
// An in-memory owner window for a device component: fixed borders, and a
// presentation target that keeps the last presented frame. No pacing.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "d3d9/presentationtarget.h"
#include "device/ownerwindow.h"

namespace wbx::testing {

// Keeps the last presented frame (X8R8G8B8, tightly packed).
class FrameCapture : public PresentationTarget {
public:
    void PresentFrame(const uint8_t* bits, int pitch, int width, int height) override {
        Width = width;
        Height = height;
        Pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        for (int y = 0; y < height; ++y) {
            std::copy(bits + static_cast<ptrdiff_t>(y) * pitch,
                      bits + static_cast<ptrdiff_t>(y) * pitch + width * 4,
                      Pixels.begin() + static_cast<ptrdiff_t>(y) * width * 4);
        }
        ++Frames;
    }
    double RefreshRate() const override { return 1e9; }  // no pacing in tests

    // Red, green, blue of pixel (x, y).
    std::array<int, 3> Rgb(int x, int y) const {
        const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)) * 4;
        return {Pixels[at + 2], Pixels[at + 1], Pixels[at]};
    }

    std::vector<uint8_t> Pixels;
    int Width = 0;
    int Height = 0;
    int Frames = 0;
};

class TestWindow : public TKVOwnerWindow {
public:
    int ClientWidth() const override { return clientWidth_; }
    int ClientHeight() const override { return clientHeight_; }
    int Left() const override { return left_; }
    int Top() const override { return top_; }
    int Width() const override { return clientWidth_ + kBorderWidth; }
    int Height() const override { return clientHeight_ + kBorderHeight; }
    void SetWindowPos(int left, int top, int width, int height) override {
        left_ = left;
        top_ = top;
        clientWidth_ = width - kBorderWidth;
        clientHeight_ = height - kBorderHeight;
    }
    HWND PresentationTarget() override { return &Capture; }

    FrameCapture Capture;

private:
    static constexpr int kBorderWidth = 8;
    static constexpr int kBorderHeight = 30;
    int left_ = 192;
    int top_ = 114;
    int clientWidth_ = 640;
    int clientHeight_ = 480;
};

}  // namespace wbx::testing
