// The running window left alone on a real X server, against its floor.
//
// The program starts an Xvfb of its own (and stops it at the end), so the
// frames go the whole way a user's do: rendered, presented, painted into the
// window's backing store and put on the X server, paced to the screen's
// refresh (60 Hz). Each repetition lets the window run untouched for
// WBX_IDLE_SECONDS (default 20) after a second to settle, and reports from
// the process's own CPU time (all its threads, getrusage) the share of one
// core it took ("cpu_%", aim: at most 6) and the frames it presented per
// second ("fps").
//
// The peer, in the same program and the same sitting: a bare Qt widget that
// repaints one 640 x 480 image of the same grey at the same pace, and does
// nothing else - what any Qt program showing 60 frames a second pays.
//
// Run: wbx_bench_idle_window --benchmark_repetitions=3 (medians follow).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/umain.h"
#include "sampledata/datafolder.h"
#include "viewer/datafolder.h"

extern char** environ;

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double IdleSeconds() {
    const char* text = std::getenv("WBX_IDLE_SECONDS");
    const double seconds = text != nullptr ? std::atof(text) : 0.0;
    return seconds > 0 ? seconds : 20.0;
}

// An Xvfb on the first free display from :71 on, stopped when the program ends.
class PrivateXServer {
public:
    PrivateXServer() {
        for (int display = 71; display < 100 && pid_ <= 0; ++display) {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
            const std::string lock = "/tmp/.X" + std::to_string(display) + "-lock";
            if (std::filesystem::exists(socket) || std::filesystem::exists(lock)) continue;
            const std::string name = ":" + std::to_string(display);
            const char* argv[] = {"Xvfb",         name.c_str(), "-screen", "0",
                                  "1280x1024x24", "-nolisten",  "tcp",     nullptr};
            pid_t pid = 0;
            if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return;
            for (int wait = 0; wait < 100 && !std::filesystem::exists(socket); ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!std::filesystem::exists(socket)) {
                Stop(pid);
                continue;
            }
            pid_ = pid;
            display_ = name;
        }
    }
    ~PrivateXServer() {
        if (pid_ > 0) Stop(pid_);
    }
    const std::string& Display() const { return display_; }

private:
    static void Stop(pid_t pid) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    pid_t pid_ = 0;
    std::string display_;
};

// The X server and the application, made once for the whole run (the
// application lives until the process ends; the server stops after it).
QApplication* Application() {
    static PrivateXServer server;
    static int argc = 1;
    static char name[] = "wbx_bench_idle_window";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        if (server.Display().empty()) return static_cast<QApplication*>(nullptr);
        ::setenv("DISPLAY", server.Display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        return new QApplication(argc, argv);
    }();
    return application;
}

// Lets the event loop run for seconds.
void RunFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop for the idle time once per iteration and reports the
// CPU share and the frame rate that frames() counts.
template <class TFrames>
void MeasureIdle(benchmark::State& state, TFrames frames) {
    RunFor(1.0);  // shown, first frames out, caches warm
    for (auto _ : state) {
        const uint64_t framesBefore = frames();
        const double cpuBefore = ProcessCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        RunFor(IdleSeconds());
        const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        state.counters["cpu_%"] = 100.0 * (ProcessCpuSeconds() - cpuBefore) / seconds;
        state.counters["fps"] = static_cast<double>(frames() - framesBefore) / seconds;
        state.SetIterationTime(seconds);
    }
}

void BM_IdleWindow(benchmark::State& state) {
    if (Application() == nullptr) return state.SkipWithError("no Xvfb could be started");
    const std::string data = (std::filesystem::temp_directory_path() / "wbx_bench_idle_window_data").string();
    static const bool generated = (wbx::sampledata::GenerateDataFolder(data), true);
    (void)generated;
    wbx::TFormServices services;
    services.SettingsFileName =
        (std::filesystem::temp_directory_path() / "wbx_bench_idle_window.ini").string();
    services.DataFolder = data;
    services.FolderPrompt = [](const std::string&, std::string&) { return false; };
    services.ExceptionReport = [](const std::string&) {};
    auto form = std::make_unique<wbx::TForm1>(services);
    if (form->StartupOutcome() != wbx::TStartupOutcome::Running)
        return state.SkipWithError("the window did not start on the sample data");
    form->show();
    state.SetLabel("refresh " + std::to_string(static_cast<int>(form->screen()->refreshRate())) + " Hz");
    MeasureIdle(state, [&] { return form->PresentedFrameCount(); });
}
BENCHMARK(BM_IdleWindow)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

// The peer: one image repainted whole at the screen's refresh.
class PacedImage : public QWidget {
public:
    PacedImage() : image_(640, 480, QImage::Format_RGB32) {
        image_.fill(QColor(0x88, 0x88, 0x88));
        setFixedSize(640, 480);
        setAttribute(Qt::WA_OpaquePaintEvent);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { update(); });
    }
    void Start(double hz) { timer_.start(static_cast<int>(1000.0 / hz)); }
    uint64_t Paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).drawImage(0, 0, image_);
        ++Paints;
    }

private:
    QImage image_;
    QTimer timer_;
};

void BM_BareQtPacedRepaint(benchmark::State& state) {
    if (Application() == nullptr) return state.SkipWithError("no Xvfb could be started");
    PacedImage widget;
    widget.show();
    widget.Start(widget.screen()->refreshRate() > 0 ? widget.screen()->refreshRate() : 60.0);
    MeasureIdle(state, [&] { return widget.Paints; });
}
BENCHMARK(BM_BareQtPacedRepaint)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

}  // namespace
