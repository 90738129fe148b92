#pragma once
// A presentation target in memory: keeps the last frame a device presented,
// as it was handed over (X8R8G8B8, rows Pitch bytes apart), and counts frames.
// Clearing Showable makes it a minimised window.

#include <array>
#include <cstdint>
#include <vector>

#include "d3d9/presentationtarget.h"

namespace wbx::testing {

class CaptureTarget : public PresentationTarget {
public:
    // A refresh rate so high that Present never waits for it.
    static constexpr double kNoPacing = 1e9;

    // refreshHz: what D3DPRESENT_INTERVAL_DEFAULT and _ONE pace Present to.
    explicit CaptureTarget(double refreshHz = 60.0) : refreshHz_(refreshHz) {}

    void PresentFrame(const uint8_t* bits, int pitch, int width, int height) override;
    double RefreshRate() const override { return refreshHz_; }
    bool CanShow() const override { return Showable; }

    // Pixel (x, y) of the last frame as the device stored it (0xXXRRGGBB).
    uint32_t Pixel(int x, int y) const;
    // Red, green and blue of pixel (x, y) of the last frame.
    std::array<int, 3> Rgb(int x, int y) const;

    int Frames = 0;
    int Width = 0;
    int Height = 0;
    int Pitch = 0;                // bytes from one row to the next, as presented
    std::vector<uint8_t> Pixels;  // Pitch x Height bytes
    bool Showable = true;         // false: frames cannot be shown (a minimised window)

private:
    double refreshHz_;
};

}  // namespace wbx::testing
