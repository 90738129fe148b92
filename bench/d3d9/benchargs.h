#pragma once
// Command line and reporting shared by the frame benchmark and its OpenGL
// peer, so that both take the same arguments and print the same figures.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "d3d9/raster/rasterizer.h"

namespace wbx::testing {

inline constexpr const char* kFrameBenchUsage =
    "usage: PROGRAM [MODEL.pdt] [--size WxH] [--frames N] [--warmup N] [--threads 1,2,...]\n"
    "               [--yaw STEPS] [--pause US] [--isa scalar|sse2|avx2] [--reference] [--reuse]\n"
    "               [--ppm OUT.ppm]\n"
    "  MODEL.pdt   a model file (object 0 is drawn); default: the sample figure type1\n"
    "  --size      frame size, 16x16 .. 8192x8192 (default 640x480)\n"
    "  --frames    timed frames, 1 .. 100000 (default 200), after --warmup untimed ones (default 20)\n"
    "  --threads   drawing threads, each 0 .. 64, one figure per count (default 1,2; 0: automatic)\n"
    "  --pause     microseconds of idleness before each frame, 0 .. 1000000, as a paced viewer\n"
    "              leaves between frames (default 0)\n"
    "  --reuse     let the software rasteriser draw the kept set-ups of the repeated figure, as the\n"
    "              viewer does (default: every frame is transformed and set up anew, as its peer does)\n";

struct FrameBenchArgs {
    std::string Model;  // empty: the sample figure
    int Width = 640, Height = 480;
    int Frames = 200;
    int Warmup = 20;
    int Yaw = 0;
    int Pause = 0;  // microseconds before each frame
    std::vector<int> Threads{1, 2};
    std::string Isa;  // empty: the widest
    bool Reference = false;
    bool Reuse = false;  // draw reuse on (the software rasteriser's)
    bool Help = false;   // --help: print the usage and stop
    std::string Ppm;     // where to write the last frame, or empty
};

// A whole decimal integer within [low, high], or false.
inline bool ParseInt(const std::string& text, long low, long high, int& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

inline bool ParseFrameBenchArgs(int argc, char** argv, FrameBenchArgs& args, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--reference") {
            args.Reference = true;
        } else if (a == "--reuse") {
            args.Reuse = true;
        } else if (a == "--help") {
            args.Help = true;
        } else if (a == "--size") {
            if (!value(v)) return false;
            const size_t x = v.find('x');
            if (x == std::string::npos || !ParseInt(v.substr(0, x), 16, 8192, args.Width) ||
                !ParseInt(v.substr(x + 1), 16, 8192, args.Height)) {
                error = "bad size: " + v;
                return false;
            }
        } else if (a == "--frames" || a == "--warmup" || a == "--yaw" || a == "--pause") {
            if (!value(v)) return false;
            int* target = a == "--frames"   ? &args.Frames
                          : a == "--warmup" ? &args.Warmup
                          : a == "--yaw"    ? &args.Yaw
                                            : &args.Pause;
            const long low = a == "--frames" ? 1 : 0;
            const long high = a == "--yaw" ? 4095 : a == "--pause" ? 1000000 : 100000;
            if (!ParseInt(v, low, high, *target)) {
                error = "bad " + a.substr(2) + ": " + v;
                return false;
            }
        } else if (a == "--threads") {
            if (!value(v)) return false;
            args.Threads.clear();
            size_t start = 0;
            while (start <= v.size()) {
                const size_t comma = std::min(v.find(',', start), v.size());
                int n = 0;
                if (!ParseInt(v.substr(start, comma - start), 0, 64, n) || args.Threads.size() >= 16) {
                    error = "bad thread counts: " + v;
                    return false;
                }
                args.Threads.push_back(n);
                start = comma + 1;
            }
        } else if (a == "--isa") {
            if (!value(v)) return false;
            if (v != "scalar" && v != "sse2" && v != "avx2") {
                error = "bad instruction set: " + v;
                return false;
            }
            args.Isa = v;
        } else if (a == "--ppm") {
            if (!value(args.Ppm)) return false;
        } else if (!a.empty() && a[0] != '-' && args.Model.empty()) {
            args.Model = a;
        } else {
            error = "unknown argument: " + a;
            return false;
        }
    }
    return true;
}

// The whole program around `run`: the arguments parsed (usage and status 2
// on a bad one, the usage alone for --help), then run(args), whose exception
// ends the program with status 1. `softwareOptions`: whether --isa,
// --reference and --reuse mean anything to this program.
template <class Run>
int FrameBenchMain(int argc, char** argv, bool softwareOptions, Run&& run) {
    FrameBenchArgs args;
    std::string error;
    if (!ParseFrameBenchArgs(argc, argv, args, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), kFrameBenchUsage);
        return 2;
    }
    if (args.Help) {
        std::printf("%s", kFrameBenchUsage);
        return 0;
    }
    if (!softwareOptions && (!args.Isa.empty() || args.Reference || args.Reuse)) {
        std::fprintf(stderr, "--isa, --reference and --reuse are the software rasteriser's\n");
        return 2;
    }
    try {
        return run(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot draw the model: %s\n", e.what());
        return 1;
    }
}

inline raster::PixelIsa ParsePixelIsa(const std::string& name) {
    return name == "avx2"   ? raster::PixelIsa::Avx2
           : name == "sse2" ? raster::PixelIsa::Sse2
                            : raster::PixelIsa::Scalar;
}

struct Spread {
    double Median = 0, P10 = 0, P90 = 0, Min = 0, Max = 0;
};

inline Spread SpreadOf(std::vector<double> v) {
    Spread s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)]; };
    s.Median = at(0.5);
    s.P10 = at(0.1);
    s.P90 = at(0.9);
    s.Min = v.front();
    s.Max = v.back();
    return s;
}

inline double ProcessCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Runs frame() `warmup` times untimed, then `frames` times timed, each after
// `pause` microseconds of sleep (untimed), and prints the line of figures for
// `threads`: the median wall time of a frame with its spread, the median
// processor time of the whole process per frame, and the mean processor time
// per frame over the timed run. The kernel brings another running thread's
// time into the process's total only now and then (at a tick, when it
// sleeps), so a drawing thread's share of one frame often lands in another:
// the median under-counts it, and the mean over the run is the figure to
// compare processor time by.
template <class Frame>
void TimeFrames(int threads, int warmup, int frames, int pause, Frame&& frame) {
    std::vector<double> wall, cpu;
    double runStart = 0;
    for (int i = -warmup; i < frames; ++i) {
        if (pause > 0) std::this_thread::sleep_for(std::chrono::microseconds(pause));
        if (i == 0) runStart = ProcessCpuMicroseconds();
        const double cpu0 = ProcessCpuMicroseconds();
        const auto t0 = std::chrono::steady_clock::now();
        frame();
        const auto t1 = std::chrono::steady_clock::now();
        const double cpu1 = ProcessCpuMicroseconds();
        if (i < 0) continue;
        wall.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        cpu.push_back(cpu1 - cpu0);
    }
    const double runCpu = ProcessCpuMicroseconds() - runStart;
    const Spread w = SpreadOf(wall), c = SpreadOf(cpu);
    std::printf(
        "threads %d: median %.0f us (p10 %.0f, p90 %.0f, min %.0f, max %.0f); cpu median %.0f us/frame, "
        "mean %.0f us/frame over the run\n",
        threads, w.Median, w.P10, w.P90, w.Min, w.Max, c.Median, frames > 0 ? runCpu / frames : 0.0);
}

// Writes width x height pixels of 4 bytes (blue, green, red, unused), top row
// first, as a binary PPM.
inline void WritePpm(const std::string& path, int width, int height, const std::vector<uint8_t>& bgrx,
                     bool bottomUp = false) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return;
    }
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = bgrx.data() + static_cast<size_t>(bottomUp ? height - 1 - y : y) * width * 4;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = p[4 * x + 2];
            row[3 * x + 1] = p[4 * x + 1];
            row[3 * x + 2] = p[4 * x];
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
}

}  // namespace wbx::testing
