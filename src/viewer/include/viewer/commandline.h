#pragma once
// The command line of wardrobix. Without a subcommand it is the viewer, as it
// always was (settings file, folder prompt, window), with its options:
//
//   --data DIR         use DIR as the data folder for this run (not stored)
//   --snapshot FILE    headless: start up, draw one frame, write it as PNG, stop
//   --outfit CODE      start dressed in the outfit of a share code (sharecode.h)
//   --help, -h         print the usage
//   --version          print the version
//
// The subcommands work without a window, each with its own --help:
//
//   wardrobix render     one outfit as a picture, textures, a model or a turntable
//   wardrobix catalogue  every item of chosen slots as pictures, with manifest and gallery
//   wardrobix merge      the manifest and gallery of a catalogue made in shards
//
// Parsing checks everything that can be checked without the data folder
// (numbers, sizes, slot and body type names); item IDs are checked by the
// subcommand once the data folder is known.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "viewer/outfit.h"

namespace wbx {

// Exit statuses of the program (the viewer and every subcommand).
inline constexpr int kExitOk = 0;
inline constexpr int kExitStartupError =
    1;                                // an error during start-up (snapshot) or failed work (subcommands)
inline constexpr int kExitUsage = 2;  // bad command line, or an unusable data folder
inline constexpr int kExitMissingModel = 3;  // the model file to draw is missing

enum class TSubcommand { None, Render, Catalogue, Merge };

// The outfit a subcommand draws: the start-up outfit, or the share code's,
// then --body, then each --set in order.
struct TOutfitArguments {
    std::optional<std::string> ShareCode;                   // --outfit: a share code or a saved name
    std::optional<std::string> Body;                        // --body: "type1" ... "type10"
    std::vector<std::pair<std::string, std::string>> Sets;  // --set SLOT=ID, slot names checked
};

struct TRenderArguments {
    TOutfitArguments Outfit;
    int32_t Yaw = 0;      // angle units, 0..4095 (given in degrees)
    int32_t Pitch = 0;    // angle units, -890..890 (given in degrees)
    float Zoom = 1.0f;    // --scale, 0.2..3.0
    int32_t Width = 640;  // --size WxH
    int32_t Height = 480;
    bool Transparent = false;
    int32_t Supersample = 1;              // 1..4: drawn this many times larger, then averaged down
    std::optional<std::string> Output;    // -o: .png, or with --turntable .webp or .gif
    std::optional<std::string> Glb;       // --glb FILE
    std::optional<std::string> Obj;       // --obj FILE (and its .mtl and textures beside it)
    std::optional<std::string> Textures;  // --textures PREFIX: PREFIX_front.png, PREFIX_back.png
    int32_t Turntable = 0;                // frames of a full turn; 0: a still picture
    int32_t FrameMilliseconds = 50;
};

struct TCatalogueArguments {
    TOutfitArguments Outfit;
    std::vector<std::string> Slots;  // checked slot names; empty: every slot
    std::string Output;              // -o DIR
    int32_t Width = 640;
    int32_t Height = 480;
    int32_t ThumbnailWidth = 128;
    int32_t ThumbnailHeight = 128;
    bool Transparent = false;
    float Zoom = 1.0f;
    int32_t Threads = 0;  // -j; 0: one per core
    int32_t Shard = 1;    // --shard K/N
    int32_t Shards = 1;
};

struct TMergeArguments {
    std::string Folder;
};

struct TCommandLine {
    TSubcommand Subcommand = TSubcommand::None;
    std::optional<std::string> DataFolder;
    std::optional<std::string> SnapshotFile;
    std::optional<TOutfit> Outfit;  // the --outfit code, read
    bool Help = false;
    bool Version = false;
    std::string Error;      // not empty: the arguments were refused, with this reason
    bool BadValue = false;  // the refusal is about an option's value (one line says it all)
    std::string HelpText;   // the usage of the command (or subcommand) concerned
    TRenderArguments Render;
    TCatalogueArguments Catalogue;
    TMergeArguments Merge;
};

// Parses the arguments after the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints for the viewer (the program name first).
std::string UsageText(const std::string& programName);
// The text --version prints.
std::string VersionText();
// The program's version ("0.1.0").
std::string ProgramVersion();

// The parts of the command line's values, also for other readers of them.
// "WxH" with both sides 1..16384.
std::optional<std::pair<int32_t, int32_t>> ParseSize(const std::string& text);
// "K/N" with 1 <= K <= N <= 65536.
std::optional<std::pair<int32_t, int32_t>> ParseShard(const std::string& text);
// Degrees to angle units (4096 a turn), rounded to the nearest; whole turns
// are dropped, so the result lies within -4096..4096.
int32_t DegreesToAngle(double degrees);

}  // namespace wbx
