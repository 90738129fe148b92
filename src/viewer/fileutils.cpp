#include "viewer/fileutils.h"

#include <algorithm>
#include <filesystem>

#include "asciicase.h"
#include "base/filestream.h"

namespace wbx {

namespace {

// The UTF-8 characters of a text, each as its bytes with ASCII letters folded
// to lower case. A stray continuation byte counts as a character of its own.
std::vector<std::string> FoldedCharacters(const std::string& text) {
    std::vector<std::string> result;
    for (size_t i = 0; i < text.size();) {
        size_t length = 1;
        while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80 &&
               (static_cast<unsigned char>(text[i]) & 0xC0) == 0xC0)
            ++length;
        std::string character = text.substr(i, length);
        if (length == 1) character[0] = AsciiLower(character[0]);
        result.push_back(std::move(character));
        i += length;
    }
    return result;
}

// One element of a translated mask.
enum class TMaskToken { Literal, Star, QuestionMark, DosDot };
struct TMaskElement {
    TMaskToken Token;
    std::string Character;  // for Literal
};

std::vector<TMaskElement> TranslateMask(const std::string& mask) {
    const std::vector<std::string> characters = FoldedCharacters(mask == "*.*" ? std::string("*") : mask);
    std::vector<TMaskElement> elements;
    for (size_t i = 0; i < characters.size(); ++i) {
        const std::string& c = characters[i];
        const bool nextIsWild =
            i + 1 < characters.size() && (characters[i + 1] == "*" || characters[i + 1] == "?");
        if (c == "*") {
            elements.push_back({TMaskToken::Star, {}});
        } else if (c == "?") {
            elements.push_back({TMaskToken::QuestionMark, {}});
        } else if (c == "." && nextIsWild) {
            elements.push_back({TMaskToken::DosDot, {}});
        } else {
            elements.push_back({TMaskToken::Literal, c});
        }
    }
    return elements;
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& mask) {
    const std::vector<std::string> text = FoldedCharacters(name);
    const std::vector<TMaskElement> pattern = TranslateMask(mask);
    // matched[j]: the first i characters of the name match the first j mask elements.
    // Names and masks are short; the table is (name + 1) x (mask + 1) booleans.
    const size_t n = text.size(), m = pattern.size();
    std::vector<std::vector<char>> matched(n + 1, std::vector<char>(m + 1, 0));
    matched[0][0] = 1;
    for (size_t i = 0; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            const TMaskElement& e = pattern[j - 1];
            bool ok = false;
            switch (e.Token) {
                case TMaskToken::Star:
                    ok = matched[i][j - 1] || (i > 0 && matched[i - 1][j]);
                    break;
                case TMaskToken::QuestionMark:
                    // One character; or none where the name ends or a '.' follows.
                    ok =
                        (i > 0 && matched[i - 1][j - 1]) || (matched[i][j - 1] && (i == n || text[i] == "."));
                    break;
                case TMaskToken::DosDot:
                    // A '.'; or none at the end of the name.
                    ok = (i > 0 && text[i - 1] == "." && matched[i - 1][j - 1]) ||
                         (i == n && matched[i][j - 1]);
                    break;
                case TMaskToken::Literal:
                    ok = i > 0 && text[i - 1] == e.Character && matched[i - 1][j - 1];
                    break;
            }
            matched[i][j] = ok;
        }
    }
    return matched[n][m] != 0;
}

bool WindowsNameLess(const std::string& a, const std::string& b) {
    const std::string ua = AsciiUpperCase(a), ub = AsciiUpperCase(b);
    if (ua != ub) return ua < ub;
    return a < b;
}

bool EnumerateFiles(const std::string& folder, const std::string& mask, TStringList& list,
                    TEnumerateCallback callback) {
    const size_t countBefore = list.size();
    if (!DirectoryExists(folder)) return false;

    // The mask's own folder part (a mask may name a subfolder, as a Windows pattern could).
    const std::string pattern = folder + mask;
    const size_t slash = pattern.rfind('/');
    const std::string searchFolder =
        slash == std::string::npos ? std::string(".") : pattern.substr(0, slash + 1);
    const std::string nameMask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);

    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(searchFolder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!MatchesMask(name, nameMask)) continue;
        std::error_code statError;
        // Folders (and links to folders) are not listed; anything else is a file.
        if (std::filesystem::is_directory(it->path(), statError)) continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), WindowsNameLess);
    if (callback)
        for (const std::string& name : names) callback(name, list);
    return list.size() != countBefore;
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
