#include "sampledata/datafolder.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "base/format.h"
#include "base/path.h"
#include "sampledata/bodymap.h"
#include "sampledata/figure.h"
#include "sampledata/fileoutput.h"
#include "sampledata/itempainter.h"
#include "sampledata/layercanvas.h"
#include "sampledata/layerfile.h"
#include "sampledata/modelfile.h"
#include "sampledata/partcatalogue.h"
#include "sampledata/random.h"
#include "sampledata/recolour.h"

namespace wbx::sampledata {
namespace {

std::string Join(std::initializer_list<std::string> parts) {
    std::string out;
    for (const std::string& part : parts) out += out.empty() ? part : std::string(1, PathDelim) + part;
    return out;
}

class FolderWriter {
public:
    FolderWriter(const std::string& folder, DataFolderReport& report)
        : base_(IncludeTrailingPathDelimiter(folder)), report_(report) {}

    void Write(const std::string& relative, const std::vector<uint8_t>& bytes) {
        WriteFileBytes(base_ + relative, bytes);
        report_.Files.push_back({relative, bytes.size()});
        report_.TotalBytes += bytes.size();
    }
    void Directory(const std::string& relative) {
        ForceDirectories(base_ + relative);
        report_.Directories.push_back(relative);
    }

private:
    std::string base_;
    DataFolderReport& report_;
};

// Layer files are written at the fastest zlib level: they are small and the
// generator's whole run should stay well under a second.
std::vector<uint8_t> LayerBytes(const LayerImage& layer) {
    LayerFileOptions options;
    options.Wrapper.Level = 1;
    return EncodeLayerFile(layer, options);
}

std::string ToUpper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The regular designs' painted layers, kept for the extra items: by list,
// design, then the layers in the order PartLists() names them.
using DesignLayers = std::array<std::vector<std::vector<LayerImage>>, kPartListCount>;

// The extra items of a large catalogue: each the design at (place - 1) modulo
// the list's designs, recoloured by a change drawn from its own random source,
// so the items are the same whatever thread makes them.
void WriteExtraItems(const std::string& folder, const std::string& avatar, const DataFolderOptions& options,
                     const DesignLayers& designs, DataFolderReport& report) {
    struct Job {
        int List, Place;
        std::vector<GeneratedFile> Files;
    };
    std::vector<Job> jobs;
    for (int list = 0; list < kPartListCount; ++list)
        for (int place = PartLists()[list].ItemCount + 1; place <= options.ItemsPerList; ++place)
            jobs.push_back({list, place, {}});
    if (jobs.empty()) return;

    const std::string base = IncludeTrailingPathDelimiter(folder);
    std::atomic<size_t> next{0};
    std::mutex failureLock;
    std::exception_ptr failure;
    const auto work = [&] {
        try {
            for (size_t at = next++; at < jobs.size(); at = next++) {
                Job& job = jobs[at];
                const auto& listDesigns = designs[static_cast<size_t>(job.List)];
                const auto& layers = listDesigns[static_cast<size_t>(job.Place - 1) % listDesigns.size()];
                SampleRandom random(options.Seed ^ (0xA24BAED4963EE407ull *
                                                    static_cast<uint64_t>(job.List * 10000 + job.Place)));
                const Recolour recolour = Recolour::Random(job.List, random);
                const std::string prefix = ExtraItemPrefix(job.List, job.Place);
                for (size_t i = 0; i < layers.size(); ++i) {
                    LayerImage layer = layers[i];
                    recolour.Apply(layer);
                    const std::string relative =
                        avatar + LayerFileName(prefix, PartLists()[job.List].Layers[i]);
                    const std::vector<uint8_t> bytes = LayerBytes(layer);
                    WriteFileBytes(base + relative, bytes);
                    job.Files.push_back({relative, bytes.size()});
                }
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
            next = jobs.size();
        }
    };
    const unsigned threads = options.Threads > 0 ? static_cast<unsigned>(options.Threads)
                                                 : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
    // In the order of the lists and places, whichever thread made them.
    for (const Job& job : jobs) {
        for (const GeneratedFile& file : job.Files) {
            report.Files.push_back(file);
            report.TotalBytes += file.Size;
        }
    }
}

}  // namespace

std::string ExtraItemPrefix(int listIndex, int place) {
    if (listIndex < 0 || listIndex >= kPartListCount || place < 1 || place > kMaxItemsPerList)
        throw std::out_of_range("item outside the catalogue");
    return Format("%.2d_2%.4d", listIndex, place);
}

DataFolderReport GenerateDataFolder(const std::string& folder, uint64_t seed) {
    DataFolderOptions options;
    options.Seed = seed;
    return GenerateDataFolder(folder, options);
}

DataFolderReport GenerateDataFolder(const std::string& folder, const DataFolderOptions& options) {
    if (options.ItemsPerList < 0 || options.ItemsPerList > kMaxItemsPerList)
        throw std::invalid_argument(Format("items per list must be 0 to %d", kMaxItemsPerList));
    DataFolderReport report;
    FolderWriter writer(folder, report);
    const std::string avatar = Join({"item", "avatar"}) + PathDelim;
    writer.Directory(avatar);

    const BodyMap map;
    SampleRandom random(options.Seed);
    DesignLayers designs;
    // Paints one item's layers and writes them under the given prefix; skip
    // names a layer left out on purpose (0: none). Returns the painted layers.
    auto writeItem = [&](int list, int variant, const std::string& prefix, int skipLayer, bool upperCase) {
        const ItemStyle style = MakeItemStyle(list, variant, random);
        std::vector<LayerImage> painted;
        for (const int layerIndex : PartLists()[list].Layers) {
            LayerCanvas canvas(map, FaceOfLayer(list, layerIndex));
            PaintItemLayer(list, variant, layerIndex, style, canvas);
            painted.push_back(canvas.ToLayer());
            if (layerIndex == skipLayer) continue;
            const std::string name = LayerFileName(prefix, layerIndex);
            writer.Write(avatar + (upperCase ? ToUpper(name) : name), LayerBytes(painted.back()));
        }
        return painted;
    };
    for (int list = 0; list < kPartListCount; ++list) {
        for (int item = 0; item < PartLists()[list].ItemCount; ++item) {
            designs[static_cast<size_t>(list)].push_back(
                writeItem(list, item, ItemPrefix(list, item), 0, false));
        }
    }

    // The awkward entries.
    writer.Directory(avatar + AwkwardNames::MaskMatchingDirectory);
    {
        const std::string name = AwkwardNames::SixCharacterFront;
        writeItem(2, 2, name.substr(0, name.size() - 7), 0, false);  // "02_Zlong6"
    }
    writeItem(3, 0, AwkwardNames::MissingBackPrefix, 2, false);
    writeItem(5, 1, AwkwardNames::UpperCasePrefix, 0, true);

    for (int type = 0; type < kFigureTypeCount; ++type) {
        const std::string relative =
            Join({"character", "models", "tpv", "type" + std::to_string(type + 1), "base.pdt"});
        writer.Write(relative, EncodeModelFile(BuildFigureModel(type)));
    }

    WriteExtraItems(folder, avatar, options, designs, report);
    return report;
}

}  // namespace wbx::sampledata
