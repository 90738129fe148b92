#include "viewer/outfitstore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "viewer/atomicfile.h"
#include "viewer/settingsfile.h"
#include "viewer/sharecode.h"

namespace wbx {

namespace {

constexpr std::string_view kHeader =
    "# wardrobix outfits: a share code, a blank and the outfit's name a line";

// The length of the UTF-8 sequence text starts with, or 0 when it starts with
// none (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) return 1;
    size_t length = 0;
    uint32_t code = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code = first & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const size_t length = Utf8SequenceLength(text);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One line of the file, read.
TOutfitFileLine ParseLine(std::string_view line, const std::vector<TOutfitFileLine>& above,
                          std::string& problem) {
    TOutfitFileLine parsed{std::nullopt, std::string(line)};
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    if (start == line.size() || line[start] == '#') return parsed;

    const size_t blank = line.find(' ', start);
    const std::string_view code =
        line.substr(start, blank == std::string_view::npos ? line.npos : blank - start);
    const TShareCodeResult result = DecodeShareCode(code);
    if (!result.Outfit) {
        problem = result.Error;
        return parsed;
    }
    if (blank == std::string_view::npos) {
        problem = "The outfit has no name (a blank and the name follow the share code).";
        return parsed;
    }
    std::string_view name = line.substr(blank + 1);
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    const std::string nameProblem = OutfitNameProblem(name);
    if (!nameProblem.empty()) {
        problem = "The outfit's name " + nameProblem + ".";
        return parsed;
    }
    for (const TOutfitFileLine& other : above) {
        if (other.Outfit && other.Outfit->Name == name) {
            problem = "An outfit named \"" + std::string(name) + "\" is stored above this one.";
            return parsed;
        }
    }
    parsed.Outfit = TNamedOutfit{std::string(name), *result.Outfit};
    return parsed;
}

std::string NameOrQuoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

std::string OutfitNameProblem(std::string_view name) {
    if (name.empty()) return "is empty";
    if (name.size() > kOutfitNameMaxBytes)
        return "is longer than " + std::to_string(kOutfitNameMaxBytes) + " bytes";
    if (IsBlank(name.front()) || IsBlank(name.back())) return "begins or ends with a blank";
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
    if (!IsValidUtf8(name)) return "is not UTF-8 text";
    return std::string();
}

TOutfitFile ParseOutfitFile(std::string_view text) {
    TOutfitFile file;
    size_t start = 0;
    size_t number = 1;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string problem;
        file.Lines.push_back(ParseLine(line, file.Lines, problem));
        if (!problem.empty())
            file.Problems.push_back("line " + std::to_string(number) + ": " + problem +
                                    " It is kept as it is.");
        start = end + 1;
        ++number;
    }
    return file;
}

std::string FormatOutfitFile(const TOutfitFile& file) {
    std::string text;
    for (const TOutfitFileLine& line : file.Lines) {
        text += line.Outfit ? EncodeShareCode(line.Outfit->Outfit) + " " + line.Outfit->Name : line.Text;
        // A kept line that ends in a carriage return (it ended in CR CR LF)
        // gets CR LF, so that it reads back as it was.
        text += !line.Outfit && !line.Text.empty() && line.Text.back() == '\r' ? "\r\n" : "\n";
    }
    return text;
}

TOutfitStore::TOutfitStore(std::string fileName) : fileName_(std::move(fileName)) { Reload(); }

void TOutfitStore::Reload() {
    file_ = TOutfitFile{};
    readOnly_ = false;
    std::error_code ec;
    if (!std::filesystem::exists(fileName_, ec) && !ec) return;  // nothing stored yet
    errno = 0;
    std::ifstream in(fileName_, std::ios::binary);
    if (!in) {
        readOnly_ = true;
        file_.Problems.push_back("The outfits file \"" + fileName_ + "\" cannot be read (" +
                                 std::strerror(errno) + "); saved outfits cannot be changed until it can.");
        return;
    }
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kOutfitFileMaxBytes) {
            readOnly_ = true;
            file_.Problems.push_back("The outfits file \"" + fileName_ + "\" is larger than " +
                                     std::to_string(kOutfitFileMaxBytes >> 20) +
                                     " MiB; it is left alone and saved outfits cannot be changed.");
            return;
        }
    }
    if (in.bad()) {
        readOnly_ = true;
        file_.Problems.push_back("The outfits file \"" + fileName_ +
                                 "\" cannot be read; saved outfits cannot be changed until it can.");
        return;
    }
    file_ = ParseOutfitFile(text);
}

std::vector<TNamedOutfit> TOutfitStore::Outfits() const {
    std::vector<TNamedOutfit> outfits;
    for (const TOutfitFileLine& line : file_.Lines)
        if (line.Outfit) outfits.push_back(*line.Outfit);
    return outfits;
}

std::optional<TOutfit> TOutfitStore::Find(std::string_view name) const {
    const std::ptrdiff_t line = LineOf(file_, name);
    if (line < 0) return std::nullopt;
    return file_.Lines[static_cast<size_t>(line)].Outfit->Outfit;
}

std::ptrdiff_t TOutfitStore::LineOf(const TOutfitFile& file, std::string_view name) const {
    for (size_t i = 0; i < file.Lines.size(); ++i)
        if (file.Lines[i].Outfit && file.Lines[i].Outfit->Name == name) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

void TOutfitStore::PrepareChange() {
    Reload();
    if (readOnly_)
        throw EOutfitStoreError(file_.Problems.empty() ? "The outfits file cannot be read."
                                                       : file_.Problems.front());
}

void TOutfitStore::Write(const TOutfitFile& file) {
    const std::string error = ReplaceFileContents(fileName_, FormatOutfitFile(file));
    if (!error.empty())
        throw EOutfitStoreError("Cannot write the outfits file \"" + fileName_ + "\" (" + error + ").");
    file_ = file;
}

void TOutfitStore::Save(const std::string& name, const TOutfit& outfit) {
    const std::string problem = OutfitNameProblem(name);
    if (!problem.empty()) throw EOutfitStoreError("The name " + problem + ".");
    PrepareChange();
    TOutfitFile file = file_;
    const std::ptrdiff_t line = LineOf(file, name);
    if (line >= 0) {
        file.Lines[static_cast<size_t>(line)].Outfit->Outfit = outfit;
    } else {
        if (file.Lines.empty()) file.Lines.push_back(TOutfitFileLine{std::nullopt, std::string(kHeader)});
        file.Lines.push_back(TOutfitFileLine{TNamedOutfit{name, outfit}, std::string()});
    }
    Write(file);
}

void TOutfitStore::Rename(const std::string& name, const std::string& newName) {
    const std::string problem = OutfitNameProblem(newName);
    if (!problem.empty()) throw EOutfitStoreError("The new name " + problem + ".");
    PrepareChange();
    TOutfitFile file = file_;
    const std::ptrdiff_t line = LineOf(file, name);
    if (line < 0) throw EOutfitStoreError("There is no outfit named " + NameOrQuoted(name) + ".");
    if (name == newName) return;
    if (LineOf(file, newName) >= 0)
        throw EOutfitStoreError("An outfit named " + NameOrQuoted(newName) + " exists already.");
    file.Lines[static_cast<size_t>(line)].Outfit->Name = newName;
    Write(file);
}

void TOutfitStore::Remove(const std::string& name) {
    PrepareChange();
    TOutfitFile file = file_;
    const std::ptrdiff_t line = LineOf(file, name);
    if (line < 0) throw EOutfitStoreError("There is no outfit named " + NameOrQuoted(name) + ".");
    file.Lines.erase(file.Lines.begin() + line);
    Write(file);
}

std::string OutfitsFileName() { return ConfigFolder() + "outfits.txt"; }

}  // namespace wbx
