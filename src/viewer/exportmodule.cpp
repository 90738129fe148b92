#include "viewer/exportmodule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

#include "base/exception.h"
#include "base/path.h"

#pragma weak wbx_export_functions

namespace wbx {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The module at path, checked; it stays loaded for the rest of the process.
const TExportFunctions* OpenModule(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        throw Exception("the export module " + Quoted(path) +
                        " cannot be loaded: " + (reason ? reason : "unknown reason") + ".");
    }
    using TEntry = const TExportFunctions* (*)();
    const auto entry = reinterpret_cast<TEntry>(::dlsym(handle, "wbx_export_functions"));
    const TExportFunctions* functions = entry ? entry() : nullptr;
    if (functions == nullptr || functions->Size != sizeof(TExportFunctions) ||
        functions->Version != kExportInterfaceVersion || !functions->EncodeAnimatedWebp ||
        !functions->EncodeAnimatedGif || !functions->BuildGlb) {
        ::dlclose(handle);
        throw Exception("the export module " + Quoted(path) +
                        " does not belong to this program (it comes from another build).");
    }
    return functions;
}

const TExportFunctions* LoadModule() {
    const std::vector<std::string> folders = ExportModuleFolders(ExecutableFileName());
    std::string searched;
    for (const std::string& folder : folders) {
        const std::string path = IncludeTrailingPathDelimiter(folder) + kExportModuleFileName;
        if (::access(path.c_str(), F_OK) == 0) return OpenModule(path);
        searched += (searched.empty() ? "" : ", ") + Quoted(folder);
    }
    throw Exception(std::string("the export module \"") + kExportModuleFileName +
                    "\" is missing (looked in " + (searched.empty() ? "no folder" : searched) + ").");
}

}  // namespace

std::vector<std::string> ExportModuleFolders(const std::string& programFileName) {
    std::vector<std::string> folders;
    if (programFileName.empty()) return folders;
    const std::string programFolder = ExtractFilePath(programFileName);
    folders.push_back(programFolder.size() > 1 ? programFolder.substr(0, programFolder.size() - 1)
                                               : programFolder);
    folders.push_back(programFolder + WBX_EXPORT_MODULE_FOLDER);
    return folders;
}

const TExportFunctions& ExportFunctions() {
    if (wbx_export_functions != nullptr) return *wbx_export_functions();
    static std::mutex mutex;
    static const TExportFunctions* loaded = nullptr;
    const std::lock_guard lock(mutex);
    if (loaded == nullptr) loaded = LoadModule();
    return *loaded;
}

}  // namespace wbx
