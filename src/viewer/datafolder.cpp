#include "viewer/datafolder.h"

#include "base/filestream.h"
#include "base/format.h"
#include "base/path.h"
#include "viewer/pathresolver.h"

namespace wbx {

std::string BasePath;
std::string AvatarPath;
std::string ModelPathFormat;

namespace {

std::string DoublePercent(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        result += c;
        if (c == '%') result += '%';
    }
    return result;
}

// The data's relative paths, written with the platform's separator.
std::string DataPath(std::initializer_list<const char*> components, bool trailing) {
    std::string result;
    for (const char* component : components) {
        if (!result.empty()) result += PathDelim;
        result += component;
    }
    if (trailing) result += PathDelim;
    return result;
}

}  // namespace

bool CheckDataFolder(const std::string& folder) {
    BasePath = IncludeTrailingPathDelimiter(folder);
    AvatarPath = BasePath + DataPath({"item", "avatar"}, true);
    ModelPathFormat =
        DoublePercent(BasePath) + DataPath({"character", "models", "tpv", "%s", "base.pdt"}, false);
    if (!DirectoryExists(BasePath)) return false;
    AvatarPath = ResolvePath(AvatarPath);
    return DirectoryExists(AvatarPath);
}

std::string ModelFileName(const std::string& modelName) {
    return ResolvePath(Format(ModelPathFormat, modelName));
}

}  // namespace wbx
