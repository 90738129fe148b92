// Vertex and index buffers.

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "d3d9/devicecontrol.h"
#include "device/indexbuffer.h"
#include "device/vertexbuffer.h"
#include "devicefixture.h"

namespace wbx {
namespace {

using BufferTest = testing::DeviceFixture;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + seed);
    return bytes;
}

template <class TBuffer>
void Fill(TBuffer& buffer, const std::vector<uint8_t>& bytes) {
    void* data = buffer.Lock(0, 0, 0);
    ASSERT_NE(data, nullptr);
    std::memcpy(data, bytes.data(), bytes.size());
    buffer.Unlock();
}

template <class TBuffer>
std::vector<uint8_t> Read(TBuffer& buffer, size_t size) {
    void* data = buffer.Lock(0, 0, D3DLOCK_READONLY);
    EXPECT_NE(data, nullptr);
    if (data == nullptr) return {};
    std::vector<uint8_t> bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    buffer.Unlock();
    return bytes;
}

TEST_F(BufferTest, ManagedBuffersKeepTheirBytesThroughARecreatedDevice) {
    Start();
    TKVVertexBuffer vertices(kv.get(), 5, 24, 0, D3DFVF_XYZ | D3DFVF_NORMAL, D3DPOOL_MANAGED, "v");
    TKVIndexBuffer indices(kv.get(), 9, 0, D3DPOOL_MANAGED, "i");
    D3DVERTEXBUFFER_DESC vdesc{};
    vertices.Buffer->GetDesc(&vdesc);
    EXPECT_EQ(vdesc.Size, 120u);
    EXPECT_EQ(vdesc.FVF, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL));
    D3DINDEXBUFFER_DESC idesc{};
    indices.Buffer->GetDesc(&idesc);
    EXPECT_EQ(idesc.Size, 18u);
    EXPECT_EQ(idesc.Format, D3DFMT_INDEX16);

    const auto vbytes = Pattern(120, 3), ibytes = Pattern(18, 9);
    Fill(vertices, vbytes);
    Fill(indices, ibytes);
    SetWindowMode(800, 600);
    ASSERT_NE(vertices.Buffer, nullptr);
    // A buffer of the device now in use (an address alone proves nothing: the
    // old buffer's memory may well hold the new one).
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(vertices.Buffer->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, kv->Device);
    owner->Release();
    EXPECT_EQ(Read(vertices, 120), vbytes);
    EXPECT_EQ(Read(indices, 18), ibytes);
    EXPECT_TRUE(vertices.Backup.has_value()) << "the backup stays until the next one or destruction";
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(BufferTest, DefaultPoolBuffersFollowLossAndResetWithoutBackups) {
    StartWithDepth();
    TKVVertexBuffer vertices(kv.get(), 4, 16, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_DEFAULT, "v");
    TKVIndexBuffer indices(kv.get(), 6, D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT, "i");
    Fill(vertices, Pattern(64, 1));
    ASSERT_TRUE(LoseDevice(kv->Device));
    ASSERT_TRUE(EndDeviceLoss(kv->Device));
    kv->ResetDevice();
    EXPECT_EQ(kv->Device->TestCooperativeLevel(), D3D_OK) << "Reset refuses while default-pool buffers exist";
    EXPECT_NE(vertices.Buffer, nullptr);
    EXPECT_NE(indices.Buffer, nullptr);
    EXPECT_FALSE(vertices.Backup.has_value());
    EXPECT_FALSE(indices.Backup.has_value());

    // A re-created device re-creates them too, again without copying anything.
    SetWindowMode(640, 480);
    EXPECT_NE(vertices.Buffer, nullptr);
    EXPECT_FALSE(vertices.Backup.has_value());
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(BufferTest, LockAddressesElements) {
    Start();
    TKVIndexBuffer indices(kv.get(), 10, 0, D3DPOOL_MANAGED, "i");
    auto* whole = static_cast<uint8_t*>(indices.Lock(0, 0, 0));
    ASSERT_NE(whole, nullptr);
    indices.Unlock();
    auto* part = static_cast<uint8_t*>(indices.Lock(3, 2, 0));
    EXPECT_EQ(part, whole + 6);
    EXPECT_EQ(indices.Data, part);
    indices.Unlock();

    TKVVertexBuffer vertices(kv.get(), 4, 12, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, "v");
    auto* first = static_cast<uint8_t*>(vertices.Lock(0, 0, 0));
    vertices.Unlock();
    EXPECT_EQ(static_cast<uint8_t*>(vertices.Lock(2, 1, 0)), first + 24);
    vertices.Unlock();
    EXPECT_TRUE(FailureLines().empty());
}

TEST_F(BufferTest, BadCountsAndLocksAreReportedNeverWrapped) {
    Start();
    TKVVertexBuffer huge(kv.get(), 0x7FFFFFFF, 64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, "huge");
    EXPECT_EQ(huge.Buffer, nullptr);
    EXPECT_EQ(huge.Lock(0, 0, 0), nullptr);
    huge.Unlock();
    TKVIndexBuffer negative(kv.get(), -4, 0, D3DPOOL_MANAGED, "neg");
    EXPECT_EQ(negative.Buffer, nullptr);
    TKVVertexBuffer small(kv.get(), 4, 16, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, "small");
    EXPECT_EQ(small.Lock(-1, 1, 0), nullptr);
    EXPECT_EQ(small.Lock(0x7FFFFFFF, 1, 0), nullptr);
    EXPECT_EQ(small.Lock(3, 2, 0), nullptr) << "past the end: the device refuses";
    EXPECT_EQ(FailureLines(),
              (std::vector<std::string>{
                  "VertexBufferの生成に失敗しました(Error Code = UNKNOWN ERROR ... $00000001)",
                  "VertexBufferのロックに失敗しました(Error Code = UNKNOWN ERROR ... $00000001)",
                  "VertexBufferのアンロックに失敗しました(Error Code = UNKNOWN ERROR ... $00000001)",
                  "IndexBufferの生成に失敗しました(Error Code = UNKNOWN ERROR ... $00000001)",
                  "VertexBufferのロックに失敗しました(Error Code = UNKNOWN ERROR ... $00000001)",
                  "VertexBufferのロックに失敗しました(Error Code = UNKNOWN ERROR ... $00000001)",
                  "VertexBufferのロックに失敗しました(Error Code = D3DERR_INVALIDCALL )",
              }));
}

TEST_F(BufferTest, DestroyAfterReleaseWithoutRebuildStillUnregisters) {
    Start();
    auto vertices = std::make_unique<TKVVertexBuffer>(kv.get(), 3, 12, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, "v");
    Fill(*vertices, Pattern(36, 5));
    vertices->OnRelease();
    EXPECT_EQ(vertices->Buffer, nullptr);
    ASSERT_TRUE(vertices->Backup.has_value());
    EXPECT_EQ(*vertices->Backup, Pattern(36, 5));
    vertices->OnRelease();  // nothing to release: the backup taken before stays
    ASSERT_TRUE(vertices->Backup.has_value());
    EXPECT_EQ(*vertices->Backup, Pattern(36, 5));
    vertices.reset();
    EXPECT_TRUE(kv->Resources.empty());
    EXPECT_TRUE(FailureLines().empty());
}

}  // namespace
}  // namespace wbx
