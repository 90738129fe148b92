#include "viewer/cataloguecommand.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/format.h"
#include "viewer/atomicfile.h"
#include "viewer/batchsetup.h"
#include "viewer/catalogue.h"
#include "viewer/slotnames.h"

namespace wbx {

namespace {

std::string Duration(double seconds) {
    const int64_t whole = static_cast<int64_t>(seconds + 0.5);
    if (whole >= 3600)
        return Format("%dh%.2dm", static_cast<int>(whole / 3600), static_cast<int>(whole / 60 % 60));
    if (whole >= 60) return Format("%dm%.2ds", static_cast<int>(whole / 60), static_cast<int>(whole % 60));
    return Format("%ds", static_cast<int>(whole));
}

TCatalogueSettings SettingsOf(const TCatalogueArguments& c, const TBatchOutfit& outfit) {
    TCatalogueSettings settings;
    settings.Body = outfit.Body;
    settings.Base = outfit.Parts;
    if (c.Slots.empty()) {
        for (int list = 0; list < kPartListCount; ++list)
            settings.Slots.push_back(static_cast<TPartList>(list));
    } else {
        for (const std::string& name : c.Slots) {
            const TPartList slot = *SlotByName(name);  // checked by the parser
            if (std::find(settings.Slots.begin(), settings.Slots.end(), slot) == settings.Slots.end())
                settings.Slots.push_back(slot);
        }
        std::sort(settings.Slots.begin(), settings.Slots.end());
    }
    settings.Width = c.Width;
    settings.Height = c.Height;
    settings.ThumbnailWidth = c.ThumbnailWidth;
    settings.ThumbnailHeight = c.ThumbnailHeight;
    settings.Background = c.Transparent ? TBackground::Transparent : TBackground::Grey;
    settings.Zoom = c.Zoom;
    return settings;
}

}  // namespace

std::string ProgressLine(int64_t done, int64_t total, double seconds) {
    constexpr int kBar = 24;
    const double share = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    const int filled = static_cast<int>(share * kBar);
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(kBar - filled), ' ') + "] ";
    line += Format("%d%% %d/%d items", static_cast<int>(share * 100), done, total);
    if (seconds > 0 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        line += Format(", %.1f/s", rate);
        if (done < total) line += ", " + Duration(static_cast<double>(total - done) / rate) + " left";
    }
    return line;
}

int RunCatalogueCommand(const TCommandLine& commandLine, const TCatalogueConsole& console) {
    const TCatalogueArguments& c = commandLine.Catalogue;
    std::string message;
    TBatchOutfit outfit;
    if (!SetUpDataFolder(commandLine.DataFolder, message) || !ResolveOutfit(c.Outfit, outfit, message)) {
        console.Line(message);
        return kExitUsage;
    }
    std::error_code ec;
    std::filesystem::create_directories(c.Output, ec);
    if (ec) {
        console.Line(Format("cannot make the output folder \"%s\" (%s).", c.Output, ec.message()));
        return kExitUsage;
    }
    if (!CanWriteInto(c.Output, message)) {
        console.Line(message);
        return kExitUsage;
    }

    TCatalogueRun run;
    run.Folder = c.Output;
    run.Threads =
        c.Threads > 0 ? c.Threads : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    run.Shard = c.Shard;
    run.Shards = c.Shards;
    const auto start = std::chrono::steady_clock::now();
    int lastTenth = 0;
    auto lastDraw = start - std::chrono::seconds(1);
    run.Progress = [&](const TCatalogueProgress& progress) {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - start).count();
        if (console.Terminal) {
            // A few redraws a second are enough to read; the last one always.
            if (progress.Done < progress.Total && now - lastDraw < std::chrono::milliseconds(100)) return;
            lastDraw = now;
            console.Redraw(ProgressLine(progress.Done, progress.Total, seconds));
            return;
        }
        const int tenth = progress.Total > 0 ? static_cast<int>(progress.Done * 10 / progress.Total) : 10;
        if (tenth > lastTenth) {
            lastTenth = tenth;
            console.Line(ProgressLine(progress.Done, progress.Total, seconds));
        }
    };
    run.Report = console.Line;
    InstallTemporaryFileCleanup();

    TCatalogueOutcome outcome;
    try {
        outcome = RunCatalogue(SettingsOf(c, outfit), run);
    } catch (const std::exception& error) {
        // The arguments and folders were fine: what stopped the run is failed work.
        console.Line(error.what());
        return kExitStartupError;
    }
    const TCatalogueProgress& p = outcome.Progress;
    switch (outcome.Status) {
        case TCatalogueStatus::MissingModel:
            console.Line(outcome.Message);
            return kExitMissingModel;
        case TCatalogueStatus::Stopped:
            console.Line(outcome.Message);
            return kExitStartupError;
        case TCatalogueStatus::Done:
        case TCatalogueStatus::Failed:
            break;
    }
    console.Line(
        Format("%d items: %d pictures made, %d kept, %d failed.", p.Done, p.Rendered, p.Kept, p.Failed));
    if (run.Shards > 1)
        console.Line(Format("part %d of %d done; run 'wardrobix merge %s' once every part is.", run.Shard,
                            run.Shards, c.Output));
    return outcome.Status == TCatalogueStatus::Done ? kExitOk : kExitStartupError;
}

int RunMergeCommand(const TCommandLine& commandLine, const TLinePrinter& error) {
    std::error_code ec;
    if (!std::filesystem::is_directory(commandLine.Merge.Folder, ec)) {
        error(Format("the folder \"%s\" does not exist.", commandLine.Merge.Folder));
        return kExitUsage;
    }
    std::string message;
    if (!CanWriteInto(commandLine.Merge.Folder, message)) {
        error(message);
        return kExitUsage;
    }
    try {
        MergeShards(commandLine.Merge.Folder);
    } catch (const std::exception& failure) {
        error(failure.what());
        return kExitStartupError;
    }
    return kExitOk;
}

}  // namespace wbx
