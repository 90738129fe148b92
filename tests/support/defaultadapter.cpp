#include "defaultadapter.h"

#include <mutex>

#include "d3d9/d3d9.h"

namespace wbx::testing {
namespace {

// Profiles are copied in and out whole under the lock.
std::mutex& ProfileMutex() {
    static std::mutex mutex;
    return mutex;
}

AdapterProfile& ProfileSlot() {
    static AdapterProfile profile = DefaultAdapterProfile();
    return profile;
}

AdapterProfile CurrentProfile() {
    std::lock_guard<std::mutex> lock(ProfileMutex());
    return ProfileSlot();
}

}  // namespace

void SetDefaultAdapterProfile(const AdapterProfile& profile) {
    std::lock_guard<std::mutex> lock(ProfileMutex());
    ProfileSlot() = profile;
}

void ResetDefaultAdapterProfile() { SetDefaultAdapterProfile(DefaultAdapterProfile()); }

}  // namespace wbx::testing

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
    return wbx::Direct3DCreate9WithProfile(wbx::testing::CurrentProfile(), SDKVersion);
}
