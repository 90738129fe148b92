// wardrobix: the program block. Parses the command line, creates the
// application and the main window (whose creation runs FormCreate), and runs
// the message loop until the window closes; the window's destruction runs
// FormDestroy.
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/comparewindow.h"
#include "app/dressing.h"
#include "app/exportactions.h"
#include "app/mainwindow.h"
#include "app/outfitmenu.h"
#include "app/umain.h"
#include "app/wardrobebrowser.h"
#include "viewer/cataloguecommand.h"
#include "viewer/commandline.h"
#include "viewer/datafolder.h"
#include "viewer/rendercommand.h"
#include "viewer/settingsfile.h"
#include "viewer/thumbnailcache.h"

namespace {

void PrintError(const std::string& message) { std::fprintf(stderr, "wardrobix: %s\n", message.c_str()); }

// The subcommands run without Qt: no application, no display.
int RunSubcommand(const wbx::TCommandLine& commandLine) {
    switch (commandLine.Subcommand) {
        case wbx::TSubcommand::Render:
            return wbx::RunRenderCommand(commandLine, PrintError);
        case wbx::TSubcommand::Catalogue: {
            wbx::TCatalogueConsole console;
            console.Terminal = ::isatty(STDERR_FILENO) == 1;
            bool redrawn = false;
            console.Line = [&redrawn](const std::string& line) {
                // A line after the progress bar starts below it.
                if (redrawn) std::fputc('\n', stderr);
                redrawn = false;
                PrintError(line);
            };
            console.Redraw = [&redrawn](const std::string& line) {
                std::fprintf(stderr, "\r%s\033[K", line.c_str());
                std::fflush(stderr);
                redrawn = true;
            };
            const int status = wbx::RunCatalogueCommand(commandLine, console);
            if (redrawn) std::fputc('\n', stderr);
            return status;
        }
        case wbx::TSubcommand::Merge:
            return wbx::RunMergeCommand(commandLine, PrintError);
        case wbx::TSubcommand::None:
            break;
    }
    return wbx::kExitUsage;
}

std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    return ec ? folder : absolute.string();
}

}  // namespace

#ifdef WBX_SANITIZE
// Fontconfig (loaded by Qt for the window's font) keeps a few allocations on
// purpose until the process ends; the leak checker ignores them, and only them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

int main(int argc, char** argv) {
    const wbx::TCommandLine commandLine =
        wbx::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!commandLine.Error.empty()) {
        PrintError(commandLine.Error);
        if (!commandLine.BadValue) std::fputs(commandLine.HelpText.c_str(), stderr);
        return wbx::kExitUsage;
    }
    if (commandLine.Help) {
        std::fputs(commandLine.HelpText.c_str(), stdout);
        return wbx::kExitOk;
    }
    if (commandLine.Version) {
        std::fputs(wbx::VersionText().c_str(), stdout);
        return wbx::kExitOk;
    }
    if (commandLine.Subcommand != wbx::TSubcommand::None) return RunSubcommand(commandLine);
    const bool snapshot = commandLine.SnapshotFile.has_value();
    // The snapshot never opens a window: it needs no display at all.
    if (snapshot) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication application(argc, argv);

    wbx::TFormServices services;
    services.SettingsFileName = wbx::SettingsFileName();
    if (commandLine.DataFolder) {
        const std::string folder = AbsoluteFolder(*commandLine.DataFolder);
        if (!wbx::CheckDataFolder(folder)) {
            PrintError("\"" + folder +
                       "\" is not a usable data folder (it needs the folder item/avatar below it).");
            return wbx::kExitUsage;
        }
        services.DataFolder = folder;
    }
    if (snapshot) {
        // Headless: no prompt (an unusable folder ends the run), reports go to
        // stderr, and the settings file is left as it is.
        services.FolderPrompt = [](const std::string&, std::string&) { return false; };
        services.ExceptionReport = [](const std::string& message) { PrintError(message); };
        services.WriteSettings = false;
    }

    // The window as the user meets it (the form with menus, bars and panels
    // around it); the snapshot needs the form alone.
    const auto window = snapshot ? nullptr : std::make_unique<wbx::TMainWindow>(services);
    const auto alone = snapshot ? std::make_unique<wbx::TForm1>(services) : nullptr;
    wbx::TForm1* form = window ? &window->Form() : alone.get();
    if (window) new wbx::TExportActions(*window);  // owned by the window
    if (snapshot) {
        switch (form->StartupOutcome()) {
            case wbx::TStartupOutcome::NoDataFolder:
                PrintError(
                    "no usable data folder: give one with --data or store one by starting the viewer once.");
                return wbx::kExitUsage;
            case wbx::TStartupOutcome::MissingModel:
                PrintError("the model file \"" + wbx::ModelFileName(form->cbModels->Text()) +
                           "\" is missing.");
                return wbx::kExitMissingModel;
            case wbx::TStartupOutcome::Failed:
                return wbx::kExitStartupError;
            case wbx::TStartupOutcome::Running:
                break;
        }
        if (commandLine.Outfit) {
            // An outfit the data folder cannot dress is refused, not drawn otherwise.
            const wbx::TDressProblems problems = wbx::OutfitProblems(*form, *commandLine.Outfit);
            if (!problems.empty()) {
                PrintError("--outfit: " + problems.front());
                return wbx::kExitUsage;
            }
            wbx::DressOutfit(*form, *commandLine.Outfit);
        }
        // One pass of the frame loop, then the frame it presented: the
        // device's back buffer as it left for the window.
        bool done = false;
        form->RenderIdle(nullptr, done);
        const QImage& frame = form->PresentedImage();
        if (frame.isNull()) {
            PrintError("no frame was presented (the device could not draw).");
            return wbx::kExitStartupError;
        }
        if (!frame.save(QString::fromStdString(*commandLine.SnapshotFile), "PNG")) {
            PrintError("cannot write \"" + *commandLine.SnapshotFile + "\".");
            return wbx::kExitStartupError;
        }
        return wbx::kExitOk;
    }
    if (form->Terminated()) return wbx::kExitOk;
    // Over the last run's outfit; what cannot be worn is told in the status bar.
    if (commandLine.Outfit) form->Guarded([&] { window->Outfits().Dress(*commandLine.Outfit); });
    wbx::InstallWardrobeBrowser(*window, wbx::TThumbnailCache::DefaultFolder());
    wbx::InstallCompareWindow(*window);
    window->show();
    return application.exec();
}
