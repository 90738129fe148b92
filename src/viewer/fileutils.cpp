#include "viewer/fileutils.h"

#include <algorithm>
#include <filesystem>

#include "asciicase.h"
#include "base/filestream.h"

namespace wbx {

namespace {

// The length in bytes of the character that starts at text[i]: a UTF-8 lead
// byte with its continuation bytes; any other byte (a stray continuation byte
// included) is a character of its own.
size_t CharacterLength(std::string_view text, size_t i) {
    size_t length = 1;
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0xC0)
        while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
            ++length;
    return length;
}

// One element of a translated mask.
enum class TMaskToken { Literal, Star, QuestionMark, DosDot };
struct TMaskElement {
    TMaskToken Token;
    std::string Character;  // for Literal: its bytes, an ASCII letter in lower case
};

// A mask translated once and matched against any number of names; the
// matching tables are kept between names, so a folder's names are matched
// without allocating once the longest has been seen.
class TCompiledMask {
public:
    explicit TCompiledMask(const std::string& mask) {
        const std::string_view text = mask == "*.*" ? std::string_view("*") : std::string_view(mask);
        std::vector<std::string> characters;
        for (size_t i = 0; i < text.size();) {
            const size_t length = CharacterLength(text, i);
            std::string character(text.substr(i, length));
            if (length == 1) character[0] = AsciiLower(character[0]);
            characters.push_back(std::move(character));
            i += length;
        }
        for (size_t i = 0; i < characters.size(); ++i) {
            const std::string& c = characters[i];
            const bool nextIsWild =
                i + 1 < characters.size() && (characters[i + 1] == "*" || characters[i + 1] == "?");
            if (c == "*") {
                elements_.push_back({TMaskToken::Star, {}});
            } else if (c == "?") {
                elements_.push_back({TMaskToken::QuestionMark, {}});
            } else if (c == "." && nextIsWild) {
                elements_.push_back({TMaskToken::DosDot, {}});
            } else {
                elements_.push_back({TMaskToken::Literal, c});
            }
            starsOnly_ = starsOnly_ && (elements_.back().Token == TMaskToken::Star ||
                                        elements_.back().Token == TMaskToken::Literal);
        }
    }

    bool Matches(std::string_view name) {
        // The name's characters as (start, length).
        starts_.clear();
        for (size_t i = 0; i < name.size(); i += starts_.back().second)
            starts_.emplace_back(i, CharacterLength(name, i));
        return starsOnly_ ? MatchesStars(name) : MatchesTable(name);
    }

private:
    bool Same(std::string_view name, size_t i, const TMaskElement& e) const {
        const std::string_view c = name.substr(starts_[i].first, starts_[i].second);
        return c.size() == 1 && e.Character.size() == 1 ? AsciiLower(c[0]) == e.Character[0]
                                                        : c == e.Character;
    }

    // Literals and '*' only (the part lists' masks): the usual walk that
    // goes back to the last '*' on a mismatch, in time about the name's length.
    bool MatchesStars(std::string_view name) const {
        const size_t n = starts_.size(), m = elements_.size();
        size_t i = 0, j = 0;
        size_t starJ = SIZE_MAX, starI = 0;
        while (i < n) {
            if (j < m && elements_[j].Token == TMaskToken::Star) {
                starJ = j++;
                starI = i;
            } else if (j < m && Same(name, i, elements_[j])) {
                ++i;
                ++j;
            } else if (starJ != SIZE_MAX) {
                j = starJ + 1;
                i = ++starI;
            } else {
                return false;
            }
        }
        while (j < m && elements_[j].Token == TMaskToken::Star) ++j;
        return j == m;
    }

    // Any mask, by the table of which beginnings of the name match which of the mask.
    bool MatchesTable(std::string_view name) {
        const size_t n = starts_.size(), m = elements_.size();
        const auto isDot = [&](size_t i) { return starts_[i].second == 1 && name[starts_[i].first] == '.'; };
        // matched[i * (m + 1) + j]: the first i characters of the name match
        // the first j mask elements. Names and masks are short.
        matched_.assign((n + 1) * (m + 1), 0);
        const auto at = [&](size_t i, size_t j) -> char& { return matched_[i * (m + 1) + j]; };
        at(0, 0) = 1;
        for (size_t i = 0; i <= n; ++i) {
            for (size_t j = 1; j <= m; ++j) {
                const TMaskElement& e = elements_[j - 1];
                bool ok = false;
                switch (e.Token) {
                    case TMaskToken::Star:
                        ok = at(i, j - 1) || (i > 0 && at(i - 1, j));
                        break;
                    case TMaskToken::QuestionMark:
                        // One character; or none where the name ends or a '.' follows.
                        ok = (i > 0 && at(i - 1, j - 1)) || (at(i, j - 1) && (i == n || isDot(i)));
                        break;
                    case TMaskToken::DosDot:
                        // A '.'; or none at the end of the name.
                        ok = (i > 0 && isDot(i - 1) && at(i - 1, j - 1)) || (i == n && at(i, j - 1));
                        break;
                    case TMaskToken::Literal:
                        ok = i > 0 && at(i - 1, j - 1) && Same(name, i - 1, e);
                        break;
                }
                at(i, j) = ok;
            }
        }
        return at(n, m) != 0;
    }

    std::vector<TMaskElement> elements_;
    bool starsOnly_ = true;
    std::vector<std::pair<size_t, size_t>> starts_;
    std::vector<char> matched_;
};

// The folder that folder + mask searches, and the mask's name part (a mask may
// name a subfolder, as a Windows pattern could).
std::pair<std::string, std::string> SplitPattern(const std::string& folder, const std::string& mask) {
    const std::string pattern = folder + mask;
    const size_t slash = pattern.rfind('/');
    if (slash == std::string::npos) return {".", pattern};
    return {pattern.substr(0, slash + 1), pattern.substr(slash + 1)};
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& mask) {
    return TCompiledMask(mask).Matches(name);
}

bool WindowsNameLess(const std::string& a, const std::string& b) {
    // By upper-cased spelling, byte by byte as unsigned values (as strings
    // compare); then by the spelling itself. Nothing is allocated.
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto ua = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto ub = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

namespace {

// EnumerateFiles for several masks, mask m filling *lists[m].
bool EnumerateInto(const std::string& folder, const std::vector<std::string>& masks,
                   const std::vector<TStringList*>& lists, TEnumerateCallback callback) {
    if (!DirectoryExists(folder)) return false;
    // Each searched folder is read once for all the masks that search it; only
    // the names some mask matches are kept, not the whole folder.
    std::vector<std::vector<std::string>> names(masks.size());
    std::vector<bool> done(masks.size(), false);
    for (size_t first = 0; first < masks.size(); ++first) {
        if (done[first]) continue;
        const std::string searchFolder = SplitPattern(folder, masks[first]).first;
        std::vector<size_t> group;
        std::vector<TCompiledMask> compiled;
        for (size_t m = first; m < masks.size(); ++m) {
            auto [maskFolder, nameMask] = SplitPattern(folder, masks[m]);
            if (done[m] || maskFolder != searchFolder) continue;
            done[m] = true;
            group.push_back(m);
            compiled.emplace_back(nameMask);
        }
        std::error_code ec;
        std::filesystem::directory_iterator it(searchFolder, ec);
        for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            int folderEntry = -1;  // asked once, of a name some mask matched
            for (size_t g = 0; g < group.size(); ++g) {
                if (!compiled[g].Matches(name)) continue;
                if (folderEntry < 0) {
                    std::error_code statError;
                    // Folders (and links to folders) are not listed; anything else is a file.
                    folderEntry = std::filesystem::is_directory(it->path(), statError) ? 1 : 0;
                }
                if (folderEntry == 0) names[group[g]].push_back(name);
            }
        }
    }
    bool grew = false;
    for (size_t m = 0; m < masks.size(); ++m) {
        std::sort(names[m].begin(), names[m].end(), WindowsNameLess);
        TStringList& list = *lists[m];
        const size_t countBefore = list.size();
        if (callback)
            for (const std::string& name : names[m]) callback(name, list);
        grew = grew || list.size() != countBefore;
    }
    return grew;
}

}  // namespace

bool EnumerateFiles(const std::string& folder, const std::string& mask, TStringList& list,
                    TEnumerateCallback callback) {
    return EnumerateInto(folder, {mask}, {&list}, callback);
}

bool EnumerateFilesForMasks(const std::string& folder, const std::vector<std::string>& masks,
                            std::vector<TStringList>& lists, TEnumerateCallback callback) {
    if (lists.size() < masks.size()) lists.resize(masks.size());
    std::vector<TStringList*> targets;
    for (size_t m = 0; m < masks.size(); ++m) targets.push_back(&lists[m]);
    return EnumerateInto(folder, masks, targets, callback);
}

void AddFilePrefix(const std::string& fileName, TStringList& list) {
    size_t end = 0;
    for (int characters = 0; characters < 8 && end < fileName.size(); ++characters) {
        ++end;
        while (end < fileName.size() && (static_cast<unsigned char>(fileName[end]) & 0xC0) == 0x80) ++end;
    }
    list.push_back(fileName.substr(0, end));
}

}  // namespace wbx
