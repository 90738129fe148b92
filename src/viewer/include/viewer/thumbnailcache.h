#pragma once
// TThumbnailCache: thumbnails kept on disk between sessions, one file each in
// a folder of their own ($XDG_CACHE_HOME/wardrobix/thumbnails/ by default).
//
// A thumbnail is stored under a key naming everything it was made from: the
// identity of each layer file (fileidentity.h), the side and the size. A file
// that changed has another identity, so its old thumbnail is never found
// again. The file name is a hash of the key and the file holds the whole key,
// so two keys with one hash never pass for each other.
//
// The files are outside input: a file that is short, damaged, of another
// version, made for another key or of absurd size is a miss, never trusted,
// and the next Store replaces it. Stores write a temporary file and rename it
// over the old one, so a reader sees a whole file or none. A cache that cannot
// be written is only slower: Store then reports false and nothing else.
//
// Any number of threads may use one cache at once.

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/fileidentity.h"
#include "viewer/thumbnail.h"

namespace wbx {

class TThumbnailCache {
public:
    // folder: where the files go; made when the first file is stored.
    explicit TThumbnailCache(std::string folder);

    // $XDG_CACHE_HOME/wardrobix/thumbnails/, or ~/.cache/... when that is not
    // set (or not absolute, which the base directory rules say to ignore).
    // "" when neither can be found.
    static std::string DefaultFolder();

    // The key of a thumbnail of side at size made from these layer files.
    static std::string Key(const std::vector<TFileIdentity>& layers, TThumbnailSide side, int32_t size);

    // The thumbnail stored under key; false (thumbnail untouched) on a miss.
    bool Load(const std::string& key, TThumbnail& thumbnail) const;
    // Stores thumbnail under key; false when it could not be written.
    bool Store(const std::string& key, const TThumbnail& thumbnail) const;

    // The file a key is kept in.
    std::string FileName(const std::string& key) const;
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;  // ends in a separator
};

// The cache file's bytes for key and thumbnail.
std::vector<uint8_t> EncodeThumbnailFile(const std::string& key, const TThumbnail& thumbnail);
// Reads a cache file's bytes: true and thumbnail filled when they are a
// whole, undamaged file made for key; false otherwise (thumbnail untouched).
// Reads nothing outside data[0, size).
bool DecodeThumbnailFile(const uint8_t* data, size_t size, const std::string& key, TThumbnail& thumbnail);

}  // namespace wbx
