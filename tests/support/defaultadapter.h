#pragma once
// The adapter that Direct3DCreate9 describes, chosen by a test. Layers above
// our Direct3D 9 create their Direct3D object themselves (the device
// component does in Loaded), so a test that imitates particular hardware
// there cannot hand it a profile.
//
// The library's Direct3DCreate9 always describes DefaultAdapterProfile() and
// keeps no state for tests. defaultadapter.cpp defines Direct3DCreate9 as
// well, over the profile set here, and a test program that calls
// SetDefaultAdapterProfile links that definition in place of the library's
// (it is found first: the test support comes before our Direct3D 9 on every
// link line). Without a profile set it answers as the library does.

#include "d3d9/adapterprofile.h"

namespace wbx::testing {

// The profile that every Direct3DCreate9 from now on describes; Direct3D
// objects that exist keep theirs.
void SetDefaultAdapterProfile(const AdapterProfile& profile);
// Back to DefaultAdapterProfile().
void ResetDefaultAdapterProfile();

}  // namespace wbx::testing
