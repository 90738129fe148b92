#pragma once
// The fuzz targets' device: a device component on an in-memory window (no
// GUI toolkit, no log file, no halting), made once per fuzzing process and
// reused by every input, so that one input costs a parse, not a start-up.

#include <cstdint>
#include <memory>

#include "common/scratch_file.h"
#include "d3d9/adapterprofile.h"
#include "d3d9/presentationtarget.h"
#include "device/diagnostics.h"
#include "device/korvane.h"
#include "device/ownerwindow.h"

namespace wbx::fuzzing {

// A 640 x 480 client area that throws presented frames away.
class MemoryOwnerWindow : public TKVOwnerWindow, public PresentationTarget {
public:
    int ClientWidth() const override { return 640; }
    int ClientHeight() const override { return 480; }
    int Left() const override { return 0; }
    int Top() const override { return 0; }
    int Width() const override { return 640; }
    int Height() const override { return 480; }
    void SetWindowPos(int, int, int, int) override {}
    HWND PresentationTarget() override { return this; }
    void PresentFrame(const uint8_t*, int, int, int) override {}
};

// The process's device component, started as the viewer starts it (depth
// buffer included) with every debug switch off: a finding must show up as a
// sanitizer report or a trap, not as a log line or an orderly exit.
inline TKorvane& Device() {
    static MemoryOwnerWindow window;
    static std::unique_ptr<TKorvane> component = [] {
        HaltOnErrorSwitch = false;
        DebugMessageSwitch = false;
        DetailedLogSwitch = false;
        auto kv = std::make_unique<TKorvane>(&window);
        kv->DebugOption = TKVDebugOption{};
        kv->Loaded();
        kv->SetWindowMode(640, 480, DefaultDepthFormats, 0, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
        if (kv->Device == nullptr) __builtin_trap();
        return kv;
    }();
    return *component;
}

}  // namespace wbx::fuzzing
