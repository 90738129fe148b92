#pragma once
// Well-formed sample files for the sweeps and the fuzz seeds, all made by the
// sample-data writers (layer and model files), the archive tests' writer, and
// a bitmap writer of our own. Small on purpose: a sweep visits every prefix.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sampledata/layerfile.h"
#include "sampledata/modelfile.h"

namespace wbx::testing {

using Bytes = std::vector<uint8_t>;

// A 24 x 16 layer at (20, 40) with a mix of opaque and transparent pixels.
sampledata::LayerImage SampleLayer();
// SampleLayer's content (X, Y, W, H, pixels) and its whole ".pav" file.
Bytes SampleLayerContent();
Bytes SampleLayerFile();

// A model of two objects (the first with 12 vertices and 8 triangles, every
// array used) and two materials.
sampledata::ModelFile SampleModel();
Bytes SampleModelFile();

// An uncompressed bottom-up bitmap file image (8 bits with a 256-entry
// palette, 16, 24 or 32 bits) of width x height with a varied pattern.
Bytes SampleBitmap(int32_t width, int32_t height, uint16_t bitCount);

// An archive of three entries "Body01", "tex" and a multibyte ID; packed
// (byte-pair encoded, several blocks) or stored.
Bytes SampleArchive(bool packed);
inline const char* const kSampleArchiveIds[] = {"Body01", "tex", "\xE3\x81\x82"};

// A settings file as the viewer leaves it, with a comment and a foreign section.
Bytes SampleSettingsFile();

// The seed corpus of each fuzz target, by target name ("layer", "model",
// "bitmap", "settings"), each file by name; the inputs are laid out as the
// target reads them (see fuzz/<name>/*.cpp).
std::map<std::string, std::map<std::string, Bytes>> FuzzSeeds();

}  // namespace wbx::testing
