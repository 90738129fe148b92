#include "viewer/pathresolver.h"

#include <sys/stat.h>

#include <filesystem>
#include <mutex>

#include "asciicase.h"
#include "base/path.h"

namespace wbx {

namespace {

bool EntryExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

const TPathResolver::TListing& TPathResolver::Listing(const std::string& folder) {
    auto found = listings_.find(folder);
    if (found != listings_.end()) return found->second;
    ++folderReads_;
    TListing listing;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::string key = AsciiLowerCase(name);
        auto [slot, inserted] = listing.emplace(std::move(key), name);
        if (!inserted && name < slot->second) slot->second = std::move(name);
    }
    return listings_.emplace(folder, std::move(listing)).first->second;
}

std::string TPathResolver::ResolveNoTrailing(const std::string& path) {
    if (path.empty() || EntryExists(path)) return path;
    const size_t slash = path.rfind(PathDelim);
    // The folder part keeps its trailing separator ("/" for the root, "" for a bare name).
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return path;

    std::string resolvedFolder = folder;
    if (folder.size() > 1)
        resolvedFolder = ResolveNoTrailing(folder.substr(0, folder.size() - 1)) + PathDelim;
    const TListing& listing = Listing(resolvedFolder);
    const auto match = listing.find(AsciiLowerCase(name));
    return resolvedFolder + (match != listing.end() ? match->second : name);
}

std::string TPathResolver::Resolve(const std::string& path) {
    if (path.size() > 1 && path.back() == PathDelim)
        return ResolveNoTrailing(path.substr(0, path.size() - 1)) + PathDelim;
    return ResolveNoTrailing(path);
}

TPathResolver& SessionPathResolver() {
    static TPathResolver resolver;
    return resolver;
}

std::string ResolvePath(const std::string& path) {
    // The batch renderer composes on several threads at once; the listings
    // they share are read and filled one caller at a time.
    static std::mutex mutex;
    const std::lock_guard<std::mutex> lock(mutex);
    return SessionPathResolver().Resolve(path);
}

}  // namespace wbx
