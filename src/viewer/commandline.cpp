#include "viewer/commandline.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <cmath>

#include "buildinfo.h"
#include "viewer/sharecode.h"
#include "viewer/slotnames.h"

namespace wbx {

namespace {

constexpr int32_t kMaxSide = 16384;
constexpr double kMaxPitchDegrees = 78.2;  // 890 angle units, the viewer's limit

const char* const kExitStatuses =
    "Exit status: 0 done, 1 failed work (or a start-up error of the viewer), 2 bad arguments or\n"
    "an unusable data folder, 3 the model file is missing.";

std::optional<int32_t> WholeNumber(std::string_view text, int32_t low, int32_t high) {
    int32_t value = 0;
    if (text.empty() || text.size() > 9) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// "unknown slot "hat" (closest: hair)".
std::string UnknownName(const char* what, const std::string& name, const std::vector<std::string>& known) {
    return WithClosestNames(std::string("unknown ") + what + " " + Quoted(name), name, known);
}

// "The following argument was not expected: --bogus".
std::string NotExpected(const std::vector<std::string>& arguments) {
    std::string message = arguments.size() > 1 ? "The following arguments were not expected:"
                                               : "The following argument was not expected:";
    for (const std::string& argument : arguments) message += " " + argument;
    return message;
}

// What the parser did not take, in the order typed: the arguments it left
// over, and those typed as options ("--name", "--name=value", "-x", "-xVALUE")
// that neither the program nor the subcommand they follow knows. An option
// that takes a value takes the next argument even when it looks like an
// option ("-j --bogus"); such a value is named here too. Negative numbers are
// values, and "--" ends the options.
std::vector<std::string> NotTaken(const CLI::App& app, const std::vector<std::string>& arguments) {
    std::vector<bool> named(arguments.size(), false);
    const CLI::App* current = &app;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") break;
        const bool option = argument.size() > 1 && argument[0] == '-' &&
                            std::isdigit(static_cast<unsigned char>(argument[1])) == 0 && argument[1] != '.';
        if (!option) {
            if (current == &app)
                for (const CLI::App* subcommand : app.get_subcommands(nullptr))
                    if (subcommand->get_name() == argument) current = subcommand;
            continue;
        }
        const std::string name =
            argument[1] == '-' ? argument.substr(0, argument.find('=')) : argument.substr(0, 2);
        named[i] = current->get_option_no_throw(name) == nullptr && app.get_option_no_throw(name) == nullptr;
    }
    for (const std::string& left : app.remaining(true)) {
        for (size_t i = 0; i < arguments.size(); ++i) {
            if (named[i] || arguments[i] != left) continue;
            named[i] = true;
            break;
        }
    }
    std::vector<std::string> unknown;
    for (size_t i = 0; i < arguments.size(); ++i)
        if (named[i]) unknown.push_back(arguments[i]);
    return unknown;
}

// A check that adds nothing to the option's value name in the help: each
// help text says its range in words.
CLI::Validator Quiet(CLI::Validator validator) {
    validator.description("");
    return validator;
}

std::string CheckNotEmpty(const std::string& value) { return value.empty() ? "needs a value" : ""; }

// A range check lets "nan" through (no comparison with it holds).
std::string CheckFinite(const std::string& value) {
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    return error == std::errc() && end == value.data() + value.size() && std::isfinite(number)
               ? ""
               : "expects a number, not " + Quoted(value);
}

void AddDataOption(CLI::App& app, TCommandLine& result) {
    app.add_option("--data", result.DataFolder,
                   "use DIR as the data folder (default: the viewer's stored one)")
        ->type_name("DIR")
        ->check(CheckNotEmpty);
}

void AddOutfitOptions(CLI::App& app, TOutfitArguments& outfit) {
    // A share code or a saved outfit's name: the outfits file is read once
    // the subcommand runs (batchsetup.h).
    app.add_option("--outfit", outfit.ShareCode,
                   "start from the outfit of a share code (wbx1:...) or of a saved outfit's name")
        ->type_name("CODE|NAME")
        ->check(CheckNotEmpty);
    app.add_option("--body", outfit.Body, "the body type, type1 ... type10 (default: type1)")
        ->type_name("TYPE")
        ->check([](const std::string& value) {
            const std::vector<std::string> types = BodyTypeNames();
            return std::find(types.begin(), types.end(), value) != types.end()
                       ? std::string()
                       : UnknownName("body type", value, types);
        });
    app.add_option_function<std::vector<std::string>>(
           "--set",
           [&outfit](const std::vector<std::string>& values) {
               for (const std::string& value : values) {
                   const size_t equals = value.find('=');
                   outfit.Sets.emplace_back(value.substr(0, equals), value.substr(equals + 1));
               }
           },
           "dress SLOT in item ID (\"none\" takes it off); repeatable")
        ->type_name("SLOT=ID")
        ->check([](const std::string& value) {
            const size_t equals = value.find('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == value.size())
                return "expects SLOT=ID, not " + Quoted(value);
            const std::string slot = value.substr(0, equals);
            return SlotByName(slot) ? std::string() : UnknownName("slot", slot, SlotNames());
        });
}

std::string CheckSize(const std::string& value) {
    return ParseSize(value) ? "" : "expects WIDTHxHEIGHT, each 1 to 16384, not " + Quoted(value);
}

void SetSize(const std::string& value, int32_t& width, int32_t& height) {
    if (const auto size = ParseSize(value)) std::tie(width, height) = *size;
}

void AddRender(CLI::App& app, TCommandLine& result) {
    CLI::App* render = app.add_subcommand(
        "render",
        "Draw one outfit without a window: a picture, a turntable animation, the textures, a model.");
    TRenderArguments& r = result.Render;
    AddDataOption(*render, result);
    AddOutfitOptions(*render, r.Outfit);
    render
        ->add_option_function<double>(
            "--yaw", [&r](double degrees) { r.Yaw = (DegreesToAngle(degrees) % 4096 + 4096) % 4096; },
            "turn in degrees, to the figure's left as a drag to the right turns it (default 0: the front)")
        ->type_name("DEG")
        ->check(CheckFinite)
        ->check(Quiet(CLI::Range(-36000.0, 36000.0)));
    render
        ->add_option_function<double>(
            "--pitch", [&r](double degrees) { r.Pitch = std::clamp(DegreesToAngle(degrees), -890, 890); },
            "tilt in degrees, -78.2 to 78.2 (default 0)")
        ->type_name("DEG")
        ->check(CheckFinite)
        ->check(Quiet(CLI::Range(-kMaxPitchDegrees, kMaxPitchDegrees)));
    render->add_option("--scale", r.Zoom, "the figure's scale, 0.2 to 3 (default 1)")
        ->type_name("NUMBER")
        ->check(CheckFinite)
        ->check(Quiet(CLI::Range(0.2, 3.0)));
    render
        ->add_option_function<std::string>(
            "--size", [&r](const std::string& value) { SetSize(value, r.Width, r.Height); },
            "the picture's size in pixels (default 640x480, the window's)")
        ->type_name("WxH")
        ->check(CheckSize);
    render->add_flag("--transparent", r.Transparent,
                     "no background: alpha 0 wherever the figure is not drawn");
    render
        ->add_option("--supersample", r.Supersample,
                     "draw N times larger and average down, for smooth edges (1 to 4)")
        ->type_name("N")
        ->check(Quiet(CLI::Range(1, 4)));
    render
        ->add_option("-o,--output", r.Output,
                     "the picture (.png), or with --turntable the animation (.webp or .gif)")
        ->type_name("FILE")
        ->check(CheckNotEmpty);
    render->add_option("--glb", r.Glb, "the dressed figure as glTF 2.0 binary")
        ->type_name("FILE")
        ->check(CheckNotEmpty);
    render->add_option("--obj", r.Obj, "the dressed figure as OBJ, with its .mtl and two textures beside it")
        ->type_name("FILE")
        ->check(CheckNotEmpty);
    render
        ->add_option("--textures", r.Textures,
                     "the two composed textures as PREFIX_front.png and PREFIX_back.png")
        ->type_name("PREFIX")
        ->check(CheckNotEmpty);
    render->add_option("--turntable", r.Turntable, "a full turn in N frames (1 to 3600), from --yaw on")
        ->type_name("N")
        ->check(Quiet(CLI::Range(1, 3600)));
    render
        ->add_option("--frame-ms", r.FrameMilliseconds,
                     "how long each frame of a turntable shows, 10 to 60000 (default 50)")
        ->type_name("MS")
        ->check(Quiet(CLI::Range(10, 60000)));
    render->footer(std::string("At least one of -o, --glb, --obj and --textures is needed.\n") +
                   kExitStatuses);
}

void AddCatalogue(CLI::App& app, TCommandLine& result) {
    CLI::App* catalogue = app.add_subcommand(
        "catalogue",
        "Draw every item of the chosen slots into a folder, with a manifest and a gallery page.");
    TCatalogueArguments& c = result.Catalogue;
    AddDataOption(*catalogue, result);
    AddOutfitOptions(*catalogue, c.Outfit);
    catalogue->add_option("-o,--output", c.Output, "the output folder (made when missing)")
        ->type_name("DIR")
        ->required()
        ->check(CheckNotEmpty);
    catalogue
        ->add_option_function<std::string>(
            "--slots",
            [&c](const std::string& value) {
                c.Slots.clear();
                for (size_t start = 0; start <= value.size();) {
                    const size_t comma = std::min(value.find(',', start), value.size());
                    c.Slots.push_back(value.substr(start, comma - start));
                    start = comma + 1;
                }
            },
            "the slots to catalogue, comma-separated (default: all)")
        ->type_name("LIST")
        ->check([](const std::string& value) {
            if (value.empty()) return std::string("needs a value");
            for (size_t start = 0; start <= value.size();) {
                const size_t comma = std::min(value.find(',', start), value.size());
                const std::string slot = value.substr(start, comma - start);
                if (!SlotByName(slot)) return UnknownName("slot", slot, SlotNames());
                start = comma + 1;
            }
            return std::string();
        });
    catalogue
        ->add_option_function<std::string>(
            "--size", [&c](const std::string& value) { SetSize(value, c.Width, c.Height); },
            "the front and back pictures' size (default 640x480)")
        ->type_name("WxH")
        ->check(CheckSize);
    catalogue
        ->add_option_function<std::string>(
            "--thumbnail",
            [&c](const std::string& value) {
                if (const auto side = WholeNumber(value, 1, kMaxSide))
                    c.ThumbnailWidth = c.ThumbnailHeight = *side;
                else
                    SetSize(value, c.ThumbnailWidth, c.ThumbnailHeight);
            },
            "the thumbnails' size, N for NxN (default 128)")
        ->type_name("WxH")
        ->check([](const std::string& value) {
            return WholeNumber(value, 1, kMaxSide) || ParseSize(value)
                       ? ""
                       : "expects N or WIDTHxHEIGHT, each 1 to 16384, not " + Quoted(value);
        });
    catalogue->add_flag("--transparent", c.Transparent,
                        "no background: alpha 0 wherever the figure is not drawn");
    catalogue->add_option("--scale", c.Zoom, "the figure's scale, 0.2 to 3 (default 1)")
        ->type_name("NUMBER")
        ->check(CheckFinite)
        ->check(Quiet(CLI::Range(0.2, 3.0)));
    catalogue
        ->add_option("-j,--jobs", c.Threads, "threads drawing at once, 1 to 1024 (default: one per core)")
        ->type_name("N")
        ->check(Quiet(CLI::Range(1, 1024)));
    catalogue
        ->add_option_function<std::string>(
            "--shard",
            [&c](const std::string& value) {
                if (const auto shard = ParseShard(value)) std::tie(c.Shard, c.Shards) = *shard;
            },
            "draw only part K of N (then run 'wardrobix merge' once every part is done)")
        ->type_name("K/N")
        ->check([](const std::string& value) {
            return ParseShard(value) ? "" : "expects K/N with 1 <= K <= N <= 65536, not " + Quoted(value);
        });
    catalogue->footer(
        std::string("Pictures: DIR/SLOT/ID-front.png, -back.png, -thumbnail.png; DIR/manifest.csv,\n"
                    "manifest.json and index.html. A second run keeps what is complete and current.\n") +
        kExitStatuses);
}

void AddMerge(CLI::App& app, TCommandLine& result) {
    CLI::App* merge = app.add_subcommand(
        "merge", "Make the manifest and gallery of a catalogue drawn in shards (--shard K/N).");
    merge->add_option("folder", result.Merge.Folder, "the catalogue's output folder")
        ->type_name("DIR")
        ->required()
        ->check(CheckNotEmpty);
    merge->footer(kExitStatuses);
}

// The help text with its usage line first ("Usage: wardrobix ..."), as the
// viewer always printed it, and the description after it. A subcommand's
// usage line names the program before the subcommand ("Usage: wardrobix
// render ..."), as it is typed.
std::string UsageFirst(const std::string& help, const std::string& programName = "") {
    const size_t usage = help.find("Usage: ");
    if (usage == std::string::npos) return help;
    const size_t end = help.find('\n', usage);
    if (end == std::string::npos) return help;
    std::string line = help.substr(usage, end + 1 - usage);
    if (!programName.empty()) line.insert(std::string("Usage: ").size(), programName + " ");
    if (usage == 0) return line + help.substr(end + 1);
    return line + help.substr(0, usage) + help.substr(end + 1);
}

void Build(CLI::App& app, TCommandLine& result) {
    app.description("Shows an avatar figure dressed from an unpacked game data folder.");
    app.require_subcommand(0, 1);
    AddDataOption(app, result);
    app.add_option("--snapshot", result.SnapshotFile,
                   "draw one 640 x 480 frame without a window, write it as PNG and exit")
        ->type_name("FILE")
        ->check(CheckNotEmpty);
    // A code that cannot be read is said in one line naming its wrong part.
    app.add_option_function<std::string>(
           "--outfit",
           [&result](const std::string& code) {
               const TShareCodeResult decoded = DecodeShareCode(code);
               if (!decoded.Outfit) {
                   result.BadValue = true;
                   throw CLI::ValidationError("--outfit", decoded.Error);
               }
               result.Outfit = decoded.Outfit;
           },
           "start dressed in the outfit of a share code (wbx1:...)")
        ->type_name("CODE");
    app.add_flag("--version", result.Version, "show the version");
    AddRender(app, result);
    AddCatalogue(app, result);
    AddMerge(app, result);
    app.footer(std::string("Run 'wardrobix SUBCOMMAND --help' for a subcommand's options.\n") +
               kExitStatuses);
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine result;
    CLI::App app("", "wardrobix");
    Build(app, result);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        result.Help = true;
    } catch (const CLI::ParseError& error) {
        result.Error = error.what();
        if (result.Error.empty()) result.Error = "bad arguments";
        // Arguments nobody takes are named before what they may have caused
        // (a required option or value that seems missing, or an option given
        // an unknown one as its value), in the order typed.
        if (const std::vector<std::string> unknown = NotTaken(app, arguments); !unknown.empty()) {
            result.Error = NotExpected(unknown);
            result.BadValue = false;
        }
    }
    if (app.got_subcommand("render")) result.Subcommand = TSubcommand::Render;
    if (app.got_subcommand("catalogue")) result.Subcommand = TSubcommand::Catalogue;
    if (app.got_subcommand("merge")) result.Subcommand = TSubcommand::Merge;
    const char* const names[] = {"", "render", "catalogue", "merge"};
    result.HelpText =
        result.Subcommand == TSubcommand::None
            ? UsageFirst(app.help())
            : UsageFirst(app.get_subcommand(names[static_cast<int>(result.Subcommand)])->help(), "wardrobix");
    if (result.Error.empty() && !result.Help && result.Subcommand == TSubcommand::Render) {
        const TRenderArguments& r = result.Render;
        if (!r.Output && !r.Glb && !r.Obj && !r.Textures)
            result.Error = "render needs at least one of -o, --glb, --obj and --textures";
        else if (r.Width * r.Supersample > kMaxSide || r.Height * r.Supersample > kMaxSide)
            result.Error = "--size times --supersample must stay within 16384 pixels a side";
    }
    if (result.Error.empty() && !result.Help && result.Subcommand != TSubcommand::None && result.SnapshotFile)
        result.Error = "--snapshot belongs to the viewer, not to a subcommand";
    return result;
}

std::string UsageText(const std::string& programName) {
    TCommandLine result;
    CLI::App app("", programName);
    Build(app, result);
    return UsageFirst(app.help());
}

std::string ProgramVersion() { return WBX_VERSION; }

std::string VersionText() {
    std::string text = "wardrobix " + ProgramVersion();
    const std::string commit = WBX_COMMIT;
    if (!commit.empty()) text += " (commit " + commit + ")";
    return text + "\n";
}

std::optional<std::pair<int32_t, int32_t>> ParseSize(const std::string& text) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return std::nullopt;
    const std::optional<int32_t> width = WholeNumber(std::string_view(text).substr(0, x), 1, kMaxSide);
    const std::optional<int32_t> height = WholeNumber(std::string_view(text).substr(x + 1), 1, kMaxSide);
    if (!width || !height) return std::nullopt;
    return std::make_pair(*width, *height);
}

std::optional<std::pair<int32_t, int32_t>> ParseShard(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::optional<int32_t> shards = WholeNumber(std::string_view(text).substr(slash + 1), 1, 65536);
    if (!shards) return std::nullopt;
    const std::optional<int32_t> shard = WholeNumber(std::string_view(text).substr(0, slash), 1, *shards);
    if (!shard) return std::nullopt;
    return std::make_pair(*shard, *shards);
}

int32_t DegreesToAngle(double degrees) {
    const double units = std::round(std::fmod(degrees, 360.0) * 4096.0 / 360.0);
    return std::isfinite(units) ? static_cast<int32_t>(units) : 0;
}

}  // namespace wbx
