#pragma once
// A device component on our Direct3D 9 for the scene tests: an in-memory
// window that captures presented frames, a 640 x 480 device with a depth
// buffer (as the viewer sets it up), and a log of the device's calls.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "d3d9/adapterprofile.h"
#include "d3d9/callrecorder.h"
#include "d3d9/devicecontrol.h"
#include "defaultadapter.h"
#include "device/diagnostics.h"
#include "device/korvane.h"
#include "memorywindow.h"
#include "viewercomponent.h"

namespace wbx::testing {

inline std::string RS(D3DRENDERSTATETYPE state, int64_t value) {
    return "SetRenderState(" + std::to_string(state) + "," + std::to_string(value) + ")";
}
inline std::string TSS(D3DTEXTURESTAGESTATETYPE type, int64_t value) {
    return "SetTextureStageState(0," + std::to_string(type) + "," + std::to_string(value) + ")";
}
// SetTexture on stage 0 of the object with this serial number (0: none).
inline std::string Tex0(int64_t serial) { return "SetTexture(0," + std::to_string(serial) + ")"; }

// The calls every rendering-queue pass starts with.
inline std::vector<std::string> QueuePassInitialStates() {
    return {Tex0(0),
            RS(D3DRS_SPECULARENABLE, 1),
            RS(D3DRS_LIGHTING, 1),
            RS(D3DRS_FILLMODE, D3DFILL_SOLID),
            RS(D3DRS_WRAP0, 0),
            RS(D3DRS_ALPHABLENDENABLE, 0),
            RS(D3DRS_ZENABLE, 1),
            RS(D3DRS_ZWRITEENABLE, 1),
            TSS(D3DTSS_COLORARG1, D3DTA_TEXTURE),
            TSS(D3DTSS_COLORARG2, D3DTA_DIFFUSE),
            TSS(D3DTSS_COLOROP, D3DTOP_MODULATE),
            TSS(D3DTSS_ALPHAARG1, D3DTA_TEXTURE),
            TSS(D3DTSS_ALPHAARG2, D3DTA_DIFFUSE),
            TSS(D3DTSS_ALPHAOP, D3DTOP_MODULATE)};
}

// Brings a device component up as the viewer does, silently (no log, no halt).
class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { StartDevice(DefaultAdapterProfile()); }

    void TearDown() override {
        KV.reset();
        ResetDefaultAdapterProfile();
        ResetLogFolder();
        ResetLogState();
        if (!LogFolder.empty()) std::filesystem::remove_all(LogFolder);
    }

    // (Re)starts the component on profile; the call log records the new device.
    void StartDevice(const AdapterProfile& profile) {
        KV.reset();
        SetDefaultAdapterProfile(profile);
        KV = StartViewerComponent(Window);
        ASSERT_NE(KV->Device, nullptr);
        Calls = AttachCallLog(KV->Device);
    }

    // Turns the debug log on (messages only) into a fresh file in a temporary folder.
    void StartLog() {
        LogFolder = std::filesystem::temp_directory_path() /
                    ("wbx_scene_log_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::remove_all(LogFolder);  // a log left by an earlier test
        std::filesystem::create_directories(LogFolder);
        SetLogFolder(LogFolder.string() + "/");
        ResetLogState();
        HaltOnErrorSwitch = false;
        DetailedLogSwitch = false;
        DebugMessageSwitch = true;
    }
    // The log's lines so far (without line ends); empty when nothing was written.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::ifstream in(LogFileName(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    // Names of the recorded calls, leaving out the Get* queries.
    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const CallRecord& record : Calls->Records()) {
            if (record.Name.rfind("Get", 0) != 0) names.push_back(record.Name);
        }
        return names;
    }
    // The recorded calls as "Name(int,int,...)" (integer arguments only), leaving out Get*.
    std::vector<std::string> CompactCalls() const {
        std::vector<std::string> calls;
        for (const CallRecord& record : Calls->Records()) {
            if (record.Name.rfind("Get", 0) != 0) calls.push_back(Compact(record));
        }
        return calls;
    }
    static std::string Compact(const CallRecord& record) {
        std::string text = record.Name + "(";
        for (size_t i = 0; i < record.Ints.size(); ++i)
            text += (i ? "," : "") + std::to_string(record.Ints[i]);
        return text + ")";
    }

    DWORD RenderState(D3DRENDERSTATETYPE state) const {
        DWORD value = 0;
        KV->Device->GetRenderState(state, &value);
        return value;
    }

    MemoryWindow Window;
    std::unique_ptr<TKorvane> KV;
    std::shared_ptr<CallLog> Calls;
    std::filesystem::path LogFolder;
};

}  // namespace wbx::testing
