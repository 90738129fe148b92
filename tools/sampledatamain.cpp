// wardrobix-sample-data: writes a complete sample data folder for the viewer.
//
//   wardrobix-sample-data [--seed N] DIR
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "sampledata/datafolder.h"

namespace {

int Usage(std::FILE* out, int code) {
    std::fprintf(out,
                 "usage: wardrobix-sample-data [--seed N] DIR\n"
                 "Writes DIR/item/avatar/*.pav and DIR/character/models/tpv/type1..type10/base.pdt.\n"
                 "The same seed always gives the same files (default seed %llu).\n",
                 static_cast<unsigned long long>(wbx::sampledata::kDefaultSeed));
    return code;
}

// A decimal number from 0 to 2^64 - 1; anything larger is refused, not clamped.
bool ParseSeed(const std::string& text, uint64_t& seed) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE) return false;
    seed = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t seed = wbx::sampledata::kDefaultSeed;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Usage(stdout, 0);
        if (arg == "--seed") {
            if (i + 1 >= argc || !ParseSeed(argv[i + 1], seed)) {
                std::fprintf(stderr, "wardrobix-sample-data: --seed needs a decimal number\n");
                return 2;
            }
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "wardrobix-sample-data: unknown option %s\n", arg.c_str());
            return Usage(stderr, 2);
        } else if (folder.empty()) {
            folder = arg;
        } else {
            std::fprintf(stderr, "wardrobix-sample-data: only one folder may be given\n");
            return 2;
        }
    }
    if (folder.empty()) return Usage(stderr, 2);

    try {
        const auto start = std::chrono::steady_clock::now();
        const wbx::sampledata::DataFolderReport report = wbx::sampledata::GenerateDataFolder(folder, seed);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("wrote %zu files (%.1f KiB) to %s in %.3f s, seed %llu\n", report.Files.size(),
                    static_cast<double>(report.TotalBytes) / 1024.0, folder.c_str(), seconds,
                    static_cast<unsigned long long>(seed));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wardrobix-sample-data: %s\n", error.what());
        return 1;
    }
}
