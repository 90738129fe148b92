#include "viewercomponent.h"

#include "device/diagnostics.h"
#include "memorywindow.h"

namespace wbx::testing {

std::unique_ptr<TKorvane> StartViewerComponent(TKVOwnerWindow& window) {
    auto kv = std::make_unique<TKorvane>(&window);
    kv->DebugOption = TKVDebugOption{};
    kv->Loaded();
    kv->SetWindowMode(640, 480, DefaultDepthFormats, D3DPRESENT_INTERVAL_DEFAULT, D3DSWAPEFFECT_DISCARD,
                      D3DMULTISAMPLE_NONE, 0);
    return kv;
}

TKorvane& SharedDeviceComponent() {
    static MemoryWindow window;
    static std::unique_ptr<TKorvane> component = [] {
        HaltOnErrorSwitch = false;
        DebugMessageSwitch = false;
        DetailedLogSwitch = false;
        auto kv = StartViewerComponent(window);
        if (kv->Device == nullptr) __builtin_trap();
        return kv;
    }();
    return *component;
}

}  // namespace wbx::testing
