// The export module's entry: the one name the program looks up in it.
#include "viewer/exportmodule.h"

extern "C" __attribute__((visibility("default"))) const wbx::TExportFunctions* wbx_export_functions() {
    static const wbx::TExportFunctions functions{sizeof(wbx::TExportFunctions), wbx::kExportInterfaceVersion,
                                                 &wbx::EncodeAnimatedWebp, &wbx::EncodeAnimatedGif,
                                                 &wbx::BuildGlb};
    return &functions;
}
