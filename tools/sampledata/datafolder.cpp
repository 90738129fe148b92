#include "sampledata/datafolder.h"

#include <algorithm>
#include <cctype>

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

}  // namespace

DataFolderReport GenerateDataFolder(const std::string& folder, uint64_t seed) {
    DataFolderReport report;
    FolderWriter writer(folder, report);
    const std::string avatar = Join({"item", "avatar"}) + PathDelim;
    writer.Directory(avatar);

    const BodyMap map;
    SampleRandom random(seed);
    // Paints one item's layers and writes them under the given prefix; skip
    // names a layer left out on purpose (0: none).
    auto writeItem = [&](int list, int variant, const std::string& prefix, int skipLayer, bool upperCase) {
        const ItemStyle style = MakeItemStyle(list, variant, random);
        for (const int layerIndex : PartLists()[list].Layers) {
            LayerCanvas canvas(map, FaceOfLayer(list, layerIndex));
            PaintItemLayer(list, variant, layerIndex, style, canvas);
            if (layerIndex == skipLayer) continue;
            const std::string name = LayerFileName(prefix, layerIndex);
            writer.Write(avatar + (upperCase ? ToUpper(name) : name), LayerBytes(canvas.ToLayer()));
        }
    };
    for (int list = 0; list < kPartListCount; ++list) {
        for (int item = 0; item < PartLists()[list].ItemCount; ++item) {
            writeItem(list, item, ItemPrefix(list, item), 0, false);
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
    return report;
}

}  // namespace wbx::sampledata
