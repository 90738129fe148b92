#include "device/korvane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/format.h"
#include "d3d9/devicecontrol.h"
#include "defaultadapter.h"
#include "device/texture.h"
#include "devicefixture.h"

namespace wbx {
namespace {

using testing::DeviceFixture;
using testing::SetDefaultAdapterProfile;
using KorvaneTest = DeviceFixture;
using KorvaneDeathTest = DeviceFixture;

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(KorvaneDeathTest, StartUpTraceOnAHardwareAdapterWithAllSwitchesOn) {
    // All switches on, halting included: run in a child so that a halt (exit
    // code 0) cannot pass for success; the child ends with 7 when all went well.
    EXPECT_EXIT(
        {
            Start(TKVDebugOption::All());
            std::_Exit(kv->Device != nullptr ? 7 : 8);
        },
        ::testing::ExitedWithCode(7), "");
    const AdapterProfile profile = HardwareProfile(true);
    const std::vector<std::string> expected = {
        "#00001 | ",
        "#00002 | ■■■起動時の初期化をします■■■",
        "#00003 |   Direct3Dを生成します",
        "#00004 |   ウィンドウのクライアント領域のサイズに合わせて初期化を開始します",
        "#00005 |   ",
        "#00006 |   ■■■Windowモードへ移行します■■■",
        "#00007 |     ",
        "#00008 |     ■■■Direct3Dデバイスを解放します■■■",
        "#00009 |       全てのKorvaneリソースを解放します",
        "#00010 |     ■■■Direct3Dデバイスを解放しました■■■",
        "#00011 |     ",
        "#00012 |     ",
        "#00013 |     ■■■画面モードを初期化します■■■",
        "#00014 |       Driver : " + profile.Driver,
        "#00015 |       Description : " + profile.Description,
        Format("#00016 |       VendorID : %.8x, DeviceID : %.8x, SubSysID : %.8x, Revision : %.8x",
               profile.VendorId, profile.DeviceId, profile.SubSysId, profile.Revision),
        "#00017 |       ウィンドウモード 640x480で初期化します",
        "#00018 |       ハードウェアアクセラレーションを利用します",
        "#00019 |       希望のデプスステンシルサーフェスのフォーマットが見つかりませんでした",
        "#00020 |       デプスステンシルサーフェスのフォーマット...UNKNOWN",
        "#00021 |       ハードウェアT&Lを利用します",
        "#00022 |       Direct3DDeviceオブジェクトの生成を行います",
        "#00023 |       全てのKorvaneリソースを再構築します",
        "#00024 |     ■■■画面モードを初期化しました■■■",
        "#00025 |     ",
        "#00026 |   ■■■Windowモードへ移行しました■■■",
        "#00027 |   ",
        "#00028 | ■■■Korvane 起動しました■■■",
        "#00029 | ",
    };
    EXPECT_EQ(LogLines(), expected);
}

TEST_F(KorvaneTest, StartedComponentDescribesItsDevice) {
    TKorvane& k = Start();
    ASSERT_NE(k.Device, nullptr);
    EXPECT_EQ(k.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(k.Width, 640);
    EXPECT_EQ(k.Height, 480);
    EXPECT_TRUE(k.Windowed);
    EXPECT_EQ(k.BackBufferCount, 1);
    ASSERT_EQ(k.BackBuffers.size(), 1u);
    EXPECT_NE(k.BackBuffer(0), nullptr);
    EXPECT_EQ(k.DepthStencilSurface, nullptr) << "the first device has no depth buffer";
    EXPECT_EQ(k.PresentParameters.hDeviceWindow, window.PresentationTarget());
    EXPECT_EQ(k.BackBufferFormat, HardwareProfile(true).DisplayMode.Format);
    EXPECT_TRUE(FailureLines().empty());
    EXPECT_EQ(LogLevel, 0);
}

TEST_F(KorvaneTest, DepthFormatIsTheFirstCandidateThatMatches) {
    AdapterProfile profile = HardwareProfile(true);
    profile.Find(D3DDEVTYPE_HAL)->DepthFormats = {D3DFMT_D32, D3DFMT_D16};
    SetDefaultAdapterProfile(profile);
    StartWithDepth();
    EXPECT_EQ(kv->PresentParameters.AutoDepthStencilFormat, D3DFMT_D16) << "D16 comes first in the list";
    EXPECT_TRUE(kv->PresentParameters.EnableAutoDepthStencil);
    EXPECT_NE(kv->DepthStencilSurface, nullptr);
    EXPECT_TRUE(Contains(Trimmed(), "デプスステンシルサーフェスのフォーマット...D16"));

    kv.reset();
    profile.Find(D3DDEVTYPE_HAL)->DepthFormats = {D3DFMT_D32};
    SetDefaultAdapterProfile(profile);
    ResetLogState();
    HaltOnErrorSwitch = false;
    StartWithDepth();
    EXPECT_EQ(kv->PresentParameters.AutoDepthStencilFormat, D3DFMT_D32);
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(KorvaneTest, DeviceChoiceFollowsTheSwitchesAndTheAdapter) {
    auto log = std::make_shared<CallLog>();
    SetCallRecorder(log);
    struct Case {
        const char* what;
        AdapterProfile profile;
        bool useRef, useSoftwareVP;
        D3DDEVTYPE type;
        DWORD behaviour;
        const char* line;
    };
    const Case cases[] = {
        {"hardware T&L", HardwareProfile(true), false, false, D3DDEVTYPE_HAL,
         D3DCREATE_HARDWARE_VERTEXPROCESSING, "ハードウェアT&Lを利用します"},
        {"reference forced", HardwareProfile(true), true, false, D3DDEVTYPE_REF,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING, "ソフトウェアエミュレーションを利用します"},
        {"software vertex processing forced", HardwareProfile(true), false, true, D3DDEVTYPE_HAL,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING, "ソフトウェアT&Lを利用します"},
        {"no hardware T&L", HardwareProfile(false), false, false, D3DDEVTYPE_HAL,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING, "ソフトウェアT&Lを利用します"},
        {"no hardware device", DefaultAdapterProfile(), false, false, D3DDEVTYPE_REF,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING, "ソフトウェアエミュレーションを利用します"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetDefaultAdapterProfile(c.profile);
        ResetLogState();
        HaltOnErrorSwitch = false;
        log->Clear();
        kv = std::make_unique<TKorvane>(&window);
        kv->UseREFDevice = c.useRef;
        kv->UseSoftwareVertexProcessing = c.useSoftwareVP;
        kv->SetDebugOption(testing::kTestOptions);
        kv->Loaded();
        ASSERT_NE(kv->Device, nullptr);
        EXPECT_EQ(kv->DeviceType, c.type);
        const auto creations = log->Filter("CreateDevice");
        ASSERT_EQ(creations.size(), 1u);
        EXPECT_EQ(creations[0].Ints[1], c.type);
        EXPECT_EQ(creations[0].Ints[2], c.behaviour);
        EXPECT_TRUE(Contains(Trimmed(), c.line));
        kv.reset();
    }
}

TEST_F(KorvaneTest, SetWindowModeKeepsThePositionAndSetsTheClientArea) {
    Start();
    window.left = -30;  // off-screen positions are kept as they are
    window.top = 2000;
    SetWindowMode(800, 600);
    EXPECT_EQ(window.left, -30);
    EXPECT_EQ(window.top, 2000);
    EXPECT_EQ(window.ClientWidth(), 800);
    EXPECT_EQ(window.ClientHeight(), 600);
    EXPECT_TRUE(window.shown);
    EXPECT_EQ(kv->Width, 800);
    EXPECT_EQ(kv->Height, 600);
    EXPECT_NE(kv->DepthStencilSurface, nullptr);
    EXPECT_TRUE(FailureLines().empty());
    EXPECT_EQ(LogLevel, 0);
}

TEST_F(KorvaneTest, ResetKeepsTheBackBufferCountAndCallsLostThenReset) {
    StartWithDepth();
    std::vector<std::string> calls;
    struct Probe : TKVResource {};
    Probe probe;
    const int32_t id = kv->RegisterResource(
        &probe, "Probe", "p", [&] { calls.push_back("release"); }, [&] { calls.push_back("rebuild"); },
        [&] { calls.push_back("lost " + std::to_string(kv->BackBuffers[0] != nullptr)); },
        [&] { calls.push_back("reset " + std::to_string(kv->BackBuffers[0] != nullptr)); });
    IDirect3DDevice9* device = kv->Device;
    ASSERT_TRUE(LoseDevice(device));
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ASSERT_TRUE(EndDeviceLoss(device));
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    kv->ResetDevice();
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(kv->Device, device);
    EXPECT_EQ(kv->BackBufferCount, 1);
    EXPECT_NE(kv->BackBuffer(0), nullptr);
    EXPECT_NE(kv->DepthStencilSurface, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"lost 1", "reset 1"}));
    EXPECT_TRUE(FailureLines().empty());
    kv->UnregisterResource(id);
}

TEST_F(KorvaneTest, BackBufferStillReferencedIsReportedAtRelease) {
    Start();
    IDirect3DSurface9* held = kv->BackBuffer(0);
    held->AddRef();
    SetWindowMode(640, 480);
    const auto failures = FailureLines();
    ASSERT_GE(failures.size(), 1u);
    EXPECT_EQ(failures[0],
              "バックバッファ #0　の解放に失敗しました(Error Code = UNKNOWN ERROR ... $00000001)");
    EXPECT_NE(kv->Device, nullptr) << "the component goes on with its new device";
    held->Release();
}

TEST_F(KorvaneTest, FailedDeviceCreationLeavesAStateWithoutDevice) {
    AdapterProfile profile = HardwareProfile(true);
    profile.Find(D3DDEVTYPE_HAL)->BackBufferFormats.clear();  // no back buffer the card accepts
    SetDefaultAdapterProfile(profile);
    Start();
    EXPECT_EQ(kv->Device, nullptr);
    EXPECT_TRUE(kv->BackBuffers.empty());
    EXPECT_EQ(kv->BackBufferCount, 0);
    const auto failures = FailureLines();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].rfind("Direct3DDeviceオブジェクトの生成に失敗しました(Error Code = ", 0), 0u);
    EXPECT_FALSE(Contains(Trimmed(), "全てのKorvaneリソースを再構築します")) << "no rebuild without device";

    // Nothing may touch the missing device.
    TKVTexture texture(kv.get(), {D3DFMT_A1R5G5B5}, 0, D3DPOOL_MANAGED, 0, "t");
    texture.SetSize(16, 16);
    EXPECT_EQ(texture.Texture, nullptr);
    kv->ResetDevice();
    SetWindowMode(320, 240);
    EXPECT_EQ(kv->Device, nullptr);
    EXPECT_EQ(window.ClientWidth(), 320) << "the window still gets its size";
    EXPECT_EQ(LogLevel, 0);
}

TEST_F(KorvaneTest, RequestedBackBufferFormatLeavesTexturesAndDepthAsTheDisplayOffersThem) {
    // A window's device takes the display's format; a request for A8R8G8B8
    // gives that back buffer, with the same depth buffer and textures in the
    // formats offered for the display (the adapter's format stays the
    // display's, never the back buffer's).
    for (const D3DFORMAT requested : {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8}) {
        SCOPED_TRACE(requested);
        Start();
        kv->RequestedBackBufferFormat = requested;
        SetWindowMode(64, 48);
        ASSERT_NE(kv->Device, nullptr);
        const D3DFORMAT expected = requested == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : requested;
        EXPECT_EQ(kv->BackBufferFormat, expected);
        EXPECT_EQ(kv->DisplayFormat, D3DFMT_X8R8G8B8);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(kv->BackBuffer(0)->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.Format, expected);
        EXPECT_EQ(kv->PresentParameters.AutoDepthStencilFormat, D3DFMT_D16);
        ASSERT_NE(kv->DepthStencilSurface, nullptr);

        {
            TKVTexture texture(kv.get(), {D3DFMT_A1R5G5B5}, 0, D3DPOOL_MANAGED, 0, "t");
            texture.SetSize(16, 16);
            EXPECT_NE(texture.Texture, nullptr);
            EXPECT_EQ(texture.Format, D3DFMT_A1R5G5B5);
        }
        EXPECT_TRUE(FailureLines().empty());
        kv.reset();
    }
    // A card without alpha back buffers refuses the request: no device.
    AdapterProfile profile = HardwareProfile(true);
    profile.Find(D3DDEVTYPE_HAL)->BackBufferFormats = {D3DFMT_X8R8G8B8};
    SetDefaultAdapterProfile(profile);
    Start();
    kv->RequestedBackBufferFormat = D3DFMT_A8R8G8B8;
    SetWindowMode(64, 48);
    EXPECT_EQ(kv->Device, nullptr);
    kv->RequestedBackBufferFormat = D3DFMT_UNKNOWN;
    SetWindowMode(64, 48);
    ASSERT_NE(kv->Device, nullptr);
    EXPECT_EQ(kv->BackBufferFormat, D3DFMT_X8R8G8B8);
}

TEST_F(KorvaneTest, DesignModeAllowsOneComponentPerWindow) {
    TKorvane first(&window, true);
    try {
        TKorvane second(&window, true);
        FAIL() << "a second component was placed";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Korvaneコンポーネントを、同一フォームに2つ以上貼る事はできません");
    }
    EXPECT_EQ(window.Components().size(), 1u);
    first.Loaded();  // does nothing in design mode
    EXPECT_EQ(first.D3D, nullptr);
    EXPECT_TRUE(LogLines().empty());
    // At run time nothing is counted.
    TKorvane runtime(&window);
    EXPECT_EQ(window.Components().size(), 2u);
}

TEST_F(KorvaneTest, LoadedMasksFloatingPointExceptions) {
    Start();
#if defined(__x86_64__) || defined(__i386__)
    uint16_t controlWord = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(controlWord));
    EXPECT_EQ(controlWord & 0x1F3F, 0x133F);
    uint32_t mxcsr = 0;
    __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
    EXPECT_EQ(mxcsr & 0x1F80u, 0x1F80u);
#endif
    volatile float zero = 0.0f;
    EXPECT_TRUE(std::isinf(1.0f / zero));
}

TEST_F(KorvaneTest, DestroyTracesAndReleasesEverything) {
    Start();
    ResetLogState();
    HaltOnErrorSwitch = false;
    kv.reset();
    const std::vector<std::string> expected = {
        "",
        "■■■お別れの時がやってまいりました■■■",
        "  Korvaneオブジェクトの解放に伴い、全ての関連オブジェクトを解放します",
        "  ",
        "  ■■■Direct3Dデバイスを解放します■■■",
        "    全てのKorvaneリソースを解放します",
        "    バックバッファを解放します",
        "    Direct3DDeviceオブジェクトの解放を行います",
        "  ■■■Direct3Dデバイスを解放しました■■■",
        "  ",
        "  Direct3Dオブジェクトの解放を行います",
        "■■■それではごきげんよう■■■",
        "",
    };
    EXPECT_EQ(LogMessages(), expected);
    EXPECT_TRUE(window.Components().empty());
}

}  // namespace
}  // namespace wbx
