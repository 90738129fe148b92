#include "viewer/cataloguemanifest.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "base/format.h"
#include "base/path.h"
#include "viewer/gallery.h"
#include "viewer/slotnames.h"

namespace wbx {

namespace {

using TJson = nlohmann::ordered_json;

constexpr const char* kShardFolder = ".shards";
constexpr const char* kCsvHeader = "slot,item,view,file,bytes,x,y,width,height,sha256,error\n";

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvLine(const TCatalogueEntry& e) {
    const bool ok = e.Error.empty();
    const auto number = [&](int64_t value) { return ok ? std::to_string(value) : std::string(); };
    return CsvField(SlotName(e.Slot)) + "," + CsvField(e.Item) + "," + ViewName(e.View) + "," +
           CsvField(e.File) + "," + number(e.Bytes) + "," + number(e.Figure.X) + "," + number(e.Figure.Y) +
           "," + number(e.Figure.Width) + "," + number(e.Figure.Height) + "," + e.Sha256 + "," +
           CsvField(e.Error) + "\n";
}

TJson EntryJson(const TCatalogueEntry& e) {
    TJson json;
    json["slot"] = SlotName(e.Slot);
    json["item"] = e.Item;
    json["view"] = ViewName(e.View);
    if (!e.Error.empty()) {
        json["error"] = e.Error;
        return json;
    }
    json["file"] = e.File;
    json["bytes"] = e.Bytes;
    json["bounds"] = {e.Figure.X, e.Figure.Y, e.Figure.Width, e.Figure.Height};
    json["sha256"] = e.Sha256;
    return json;
}

TJson HeaderJson(const TCatalogueHeader& h) {
    TJson json;
    json["generator"] = h.Generator;
    json["body"] = h.Body;
    json["slots"] = h.Slots;
    TJson base = TJson::object();
    for (size_t i = 0; i < h.Base.size() && i < kPartListCount; ++i)
        base[SlotName(static_cast<TPartList>(i))] = h.Base[i];
    json["base"] = base;
    json["size"] = {h.Width, h.Height};
    json["thumbnail"] = {h.ThumbnailWidth, h.ThumbnailHeight};
    json["background"] = h.Background;
    json["scale"] = h.Zoom;
    json["items"] = h.Jobs;
    return json;
}

// The reading side: every field checked for its type and range; anything
// else is an Exception naming the field.
class TReader {
public:
    explicit TReader(const TJson& json) : json_(json) {
        if (!json.is_object()) throw Exception("not a JSON object");
    }
    const TJson& Field(const char* name) const {
        const auto it = json_.find(name);
        if (it == json_.end()) throw Exception(Format("no \"%s\"", name));
        return *it;
    }
    std::string Text(const char* name) const {
        const TJson& value = Field(name);
        if (!value.is_string()) throw Exception(Format("\"%s\" is not text", name));
        return value.get<std::string>();
    }
    int64_t Integer(const char* name, int64_t low, int64_t high) const {
        return IntegerOf(Field(name), name, low, high);
    }
    static int64_t IntegerOf(const TJson& value, const char* name, int64_t low, int64_t high) {
        if (!value.is_number_integer()) throw Exception(Format("\"%s\" is not a whole number", name));
        const int64_t number = value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(INT64_MAX)
                                   ? high + 1
                                   : value.get<int64_t>();
        if (number < low || number > high) throw Exception(Format("\"%s\" is out of range", name));
        return number;
    }
    std::vector<int64_t> Integers(const char* name, size_t count, int64_t low, int64_t high) const {
        const TJson& value = Field(name);
        if (!value.is_array() || value.size() != count)
            throw Exception(Format("\"%s\" is not a list of %d numbers", name, static_cast<int>(count)));
        std::vector<int64_t> numbers;
        for (const TJson& element : value) numbers.push_back(IntegerOf(element, name, low, high));
        return numbers;
    }

private:
    const TJson& json_;
};

TPartList SlotOf(const std::string& name) {
    const std::optional<TPartList> slot = SlotByName(name);
    if (!slot) throw Exception(Format("unknown slot \"%s\"", name));
    return *slot;
}

TCatalogueHeader ReadHeader(const TReader& r) {
    TCatalogueHeader h;
    h.Generator = r.Text("generator");
    h.Body = r.Text("body");
    const TJson& slots = r.Field("slots");
    if (!slots.is_array()) throw Exception("\"slots\" is not a list");
    for (const TJson& slot : slots) {
        if (!slot.is_string()) throw Exception("\"slots\" holds something other than text");
        h.Slots.push_back(SlotName(SlotOf(slot.get<std::string>())));
    }
    const TJson& base = r.Field("base");
    if (!base.is_object() || base.size() != kPartListCount)
        throw Exception("\"base\" is not one item per slot");
    for (int i = 0; i < kPartListCount; ++i) {
        const auto it = base.find(SlotName(static_cast<TPartList>(i)));
        if (it == base.end() || !it->is_string()) throw Exception("\"base\" is not one item per slot");
        h.Base.push_back(it->get<std::string>());
    }
    const std::vector<int64_t> size = r.Integers("size", 2, 1, 16384);
    const std::vector<int64_t> thumbnail = r.Integers("thumbnail", 2, 1, 16384);
    h.Width = static_cast<int32_t>(size[0]);
    h.Height = static_cast<int32_t>(size[1]);
    h.ThumbnailWidth = static_cast<int32_t>(thumbnail[0]);
    h.ThumbnailHeight = static_cast<int32_t>(thumbnail[1]);
    h.Background = r.Text("background");
    const TJson& zoom = r.Field("scale");
    if (!zoom.is_number()) throw Exception("\"scale\" is not a number");
    h.Zoom = zoom.get<double>();
    h.Jobs = r.Integer("items", 0, int64_t{1} << 40);
    return h;
}

TCatalogueEntry ReadEntry(const TReader& r) {
    TCatalogueEntry e;
    e.Slot = SlotOf(r.Text("slot"));
    e.Item = r.Text("item");
    const std::string view = r.Text("view");
    bool known = false;
    for (int v = 0; v < kCatalogueViewCount; ++v) {
        if (view != ViewName(static_cast<TCatalogueView>(v))) continue;
        e.View = static_cast<TCatalogueView>(v);
        known = true;
    }
    if (!known) throw Exception(Format("unknown view \"%s\"", view));
    return e;
}

}  // namespace

const char* ViewName(TCatalogueView view) {
    switch (view) {
        case TCatalogueView::Front:
            return "front";
        case TCatalogueView::Back:
            return "back";
        case TCatalogueView::Thumbnail:
            return "thumbnail";
    }
    return "?";
}

struct TManifestWriter::TFiles {
    TFiles(const std::string& folder, const std::string& tag, const TCatalogueHeader& header)
        : Csv(folder + "manifest.csv", tag),
          Json(folder + "manifest.json", tag),
          Html(folder + "index.html", tag),
          Gallery(Html, header) {}
    TAtomicFile Csv;
    TAtomicFile Json;
    TAtomicFile Html;
    TGalleryWriter Gallery;
};

TManifestWriter::TManifestWriter(const std::string& folder, const TCatalogueHeader& header,
                                 const std::string& tag)
    : files_(std::make_unique<TFiles>(IncludeTrailingPathDelimiter(folder), tag, header)) {
    files_->Csv.Write(kCsvHeader);
    // The settings first, then the entries one a line as they come.
    std::string head = HeaderJson(header).dump(2);
    head.erase(head.size() - 2);  // "\n}"
    files_->Json.Write(head + ",\n  \"entries\": [");
}

TManifestWriter::~TManifestWriter() = default;

void TManifestWriter::Add(const TCatalogueEntry& entry) {
    files_->Csv.Write(CsvLine(entry));
    files_->Json.Write((firstEntry_ ? "\n    " : ",\n    ") + EntryJson(entry).dump());
    firstEntry_ = false;
    files_->Gallery.Add(entry);
}

void TManifestWriter::Finish() {
    files_->Json.Write(firstEntry_ ? "]\n}\n" : "\n  ]\n}\n");
    files_->Gallery.Finish();
    files_->Csv.Commit(true);
    files_->Json.Commit(true);
    files_->Html.Commit(true);
}

std::string ShardFileName(const std::string& folder, int32_t shard, int32_t shards) {
    return IncludeTrailingPathDelimiter(folder) + kShardFolder + "/" + std::to_string(shard) + "-of-" +
           std::to_string(shards) + ".jsonl";
}

TShardWriter::TShardWriter(const std::string& folder, int32_t shard, int32_t shards,
                           const TCatalogueHeader& header, int64_t firstJob, int64_t endJob,
                           const std::string& tag)
    : file_(ShardFileName(folder, shard, shards), tag) {
    TJson line = HeaderJson(header);
    line["shard"] = {shard, shards};
    line["jobs"] = {firstJob, endJob};
    file_.Write(line.dump() + "\n");
}

void TShardWriter::Add(const TCatalogueEntry& entry) { file_.Write(EntryJson(entry).dump() + "\n"); }

void TShardWriter::Finish() { file_.Commit(true); }

TShardLine ParseShardLine(const std::string& line) {
    const TJson json = TJson::parse(line, nullptr, false);
    if (json.is_discarded()) throw Exception("not JSON");
    const TReader r(json);
    TShardLine result;
    if (json.contains("shard")) {
        result.IsHeader = true;
        result.Header = ReadHeader(r);
        const std::vector<int64_t> shard = r.Integers("shard", 2, 1, 1 << 20);
        if (shard[0] > shard[1]) throw Exception("\"shard\" names a part beyond the count");
        result.Shard = static_cast<int32_t>(shard[0]);
        result.Shards = static_cast<int32_t>(shard[1]);
        const std::vector<int64_t> jobs = r.Integers("jobs", 2, 0, result.Header.Jobs);
        if (jobs[0] > jobs[1]) throw Exception("\"jobs\" runs backwards");
        result.FirstJob = jobs[0];
        result.EndJob = jobs[1];
        return result;
    }
    TCatalogueEntry& e = result.Entry;
    e = ReadEntry(r);
    if (json.contains("error")) {
        e.Error = r.Text("error");
        if (e.Error.empty()) throw Exception("\"error\" is empty");
        return result;
    }
    e.File = r.Text("file");
    e.Bytes = r.Integer("bytes", 0, int64_t{1} << 40);
    const std::vector<int64_t> bounds = r.Integers("bounds", 4, 0, 16384);
    e.Figure = {static_cast<int32_t>(bounds[0]), static_cast<int32_t>(bounds[1]),
                static_cast<int32_t>(bounds[2]), static_cast<int32_t>(bounds[3])};
    e.Sha256 = r.Text("sha256");
    if (e.Sha256.size() != 64 || e.Sha256.find_first_not_of("0123456789abcdef") != std::string::npos)
        throw Exception("\"sha256\" is not 64 hexadecimal digits");
    return result;
}

void MergeShards(const std::string& folder) {
    const std::string shardFolder = IncludeTrailingPathDelimiter(folder) + kShardFolder;
    // How many shards: the count every shard file's name carries.
    int32_t shards = 0;
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(shardFolder, ec)) {
        const std::string name = file.path().filename().string();
        const size_t of = name.find("-of-");
        if (of == std::string::npos || name.size() < 6 || name.compare(name.size() - 6, 6, ".jsonl") != 0)
            continue;
        try {
            const int count = std::stoi(name.substr(of + 4, name.size() - 6 - of - 4));
            if (count > 0 && count <= (1 << 20)) shards = std::max(shards, count);
        } catch (const std::exception&) {
        }
    }
    if (shards == 0) throw Exception(Format("No shard files in \"%s\".", shardFolder));

    // Reads every shard in order; calls sink for the header and each entry.
    const auto pass = [&](const std::function<void(const TCatalogueHeader&)>& begin,
                          const std::function<void(const TCatalogueEntry&)>& sink) {
        TCatalogueHeader first;
        int64_t expectedJob = 0;
        for (int32_t k = 1; k <= shards; ++k) {
            const std::string fileName = ShardFileName(folder, k, shards);
            std::ifstream in(fileName, std::ios::binary);
            if (!in)
                throw Exception(Format("The shard file \"%s\" is missing: run shard %d of %d first.",
                                       fileName, k, shards));
            std::string line;
            int64_t lineNumber = 0;
            int64_t entries = 0;
            TShardLine header;
            const TCatalogueEntry* previous = nullptr;
            TCatalogueEntry last;
            while (std::getline(in, line)) {
                ++lineNumber;
                TShardLine parsed;
                try {
                    parsed = ParseShardLine(line);
                } catch (const Exception& error) {
                    throw Exception(Format("\"%s\", line %d: %s.", fileName, static_cast<int>(lineNumber),
                                           error.Message()));
                }
                if (lineNumber == 1) {
                    if (!parsed.IsHeader || parsed.Shard != k || parsed.Shards != shards ||
                        parsed.FirstJob != expectedJob)
                        throw Exception(Format("\"%s\" does not begin where shard %d of %d should.", fileName,
                                               k, shards));
                    if (k == 1) {
                        first = parsed.Header;
                        begin(first);
                    } else if (!(parsed.Header == first)) {
                        throw Exception(
                            Format("\"%s\" was made with other settings than shard 1.", fileName));
                    }
                    header = parsed;
                    continue;
                }
                if (parsed.IsHeader)
                    throw Exception(
                        Format("\"%s\", line %d: a second header.", fileName, static_cast<int>(lineNumber)));
                // Entries come item by item, the three views in order.
                const auto view = static_cast<int64_t>(parsed.Entry.View);
                if (view != entries % kCatalogueViewCount ||
                    (previous != nullptr && view != 0 &&
                     (parsed.Entry.Item != previous->Item || parsed.Entry.Slot != previous->Slot)))
                    throw Exception(Format("\"%s\", line %d: entries out of order.", fileName,
                                           static_cast<int>(lineNumber)));
                ++entries;
                last = parsed.Entry;
                previous = &last;
                sink(parsed.Entry);
            }
            if (lineNumber == 0) throw Exception(Format("\"%s\" is empty.", fileName));
            if (entries != (header.EndJob - header.FirstJob) * kCatalogueViewCount)
                throw Exception(Format("\"%s\" is incomplete.", fileName));
            expectedJob = header.EndJob;
        }
        if (expectedJob != first.Jobs) throw Exception("The shards do not cover the whole catalogue.");
    };
    // Checked whole first: nothing is replaced for a merge that cannot succeed.
    pass([](const TCatalogueHeader&) {}, [](const TCatalogueEntry&) {});
    std::unique_ptr<TManifestWriter> writer;
    pass(
        [&](const TCatalogueHeader& header) {
            writer = std::make_unique<TManifestWriter>(folder, header, "merge");
        },
        [&](const TCatalogueEntry& entry) { writer->Add(entry); });
    writer->Finish();
    std::filesystem::remove_all(shardFolder, ec);
}

}  // namespace wbx
