// Direct3DCreate9, alone in its file: a test program may link a definition of
// its own in place of this one (the test support's, which describes an adapter
// the test chose).
#include "d3d9/adapterprofile.h"
#include "d3d9/d3d9.h"

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
    return wbx::Direct3DCreate9WithProfile(wbx::DefaultAdapterProfile(), SDKVersion);
}
