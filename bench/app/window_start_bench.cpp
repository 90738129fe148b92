// The viewer's window started as the program starts it - the form with its
// menus, tool bar and panels, the export actions and the wardrobe browser -
// that ends as soon as the form has presented its first frame. Run by
// wbx_bench_app (BM_StartToFirstFrame) beside the bare Qt program, to measure
// the window's start-up time and peak memory; it links what the program
// links and nothing more.
//
//   wbx_bench_window_start DATA_FOLDER SETTINGS_FILE THUMBNAIL_FOLDER
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/exportactions.h"
#include "app/mainwindow.h"
#include "app/umain.h"
#include "app/wardrobebrowser.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 4) return 2;
    wbx::TFormServices services;
    services.DataFolder = argv[1];
    services.SettingsFileName = argv[2];
    services.WriteSettings = false;
    services.FolderPrompt = [](const std::string&, std::string&) { return false; };
    services.ExceptionReport = [](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
    };
    wbx::TMainWindow window(services);
    if (window.Form().StartupOutcome() != wbx::TStartupOutcome::Running) return 1;
    new wbx::TExportActions(window);
    wbx::InstallWardrobeBrowser(window, argv[3]);
    window.show();
    // Checked after every turn of the event loop that may have drawn.
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (window.Form().PresentedFrameCount() > 0) application.quit();
    });
    check.start(0);
    application.exec();
    return window.Form().PresentedFrameCount() > 0 ? 0 : 1;
}
