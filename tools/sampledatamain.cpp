// wardrobix-sample-data: writes a complete sample data folder for the viewer.
//
//   wardrobix-sample-data [--seed N] [--items N] DIR
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "sampledata/datafolder.h"
#include "sampledata/generatorargs.h"

namespace {

int Usage(std::FILE* out, int code) {
    std::fprintf(out,
                 "usage: wardrobix-sample-data [--seed N] [--items N] DIR\n"
                 "Writes DIR/item/avatar/*.pav and DIR/character/models/tpv/type1..type10/base.pdt.\n"
                 "The same seed always gives the same files (default seed %llu).\n"
                 "--items N  a large catalogue: every list topped up to N items (at most %d)\n"
                 "           with the designs in other colours.\n",
                 static_cast<unsigned long long>(wbx::sampledata::kDefaultSeed),
                 wbx::sampledata::kMaxItemsPerList);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    const wbx::sampledata::GeneratorArgs args = wbx::sampledata::ParseGeneratorArgs(argc, argv);
    switch (args.Command) {
        case wbx::sampledata::GeneratorCommand::Help:
            return Usage(stdout, 0);
        case wbx::sampledata::GeneratorCommand::Refused:
            if (!args.Error.empty()) std::fprintf(stderr, "wardrobix-sample-data: %s\n", args.Error.c_str());
            return args.ShowUsageOnError ? Usage(stderr, 2) : 2;
        case wbx::sampledata::GeneratorCommand::Generate:
            break;
    }
    const wbx::sampledata::DataFolderOptions& options = args.Options;
    const std::string& folder = args.Folder;

    try {
        const auto start = std::chrono::steady_clock::now();
        const wbx::sampledata::DataFolderReport report = wbx::sampledata::GenerateDataFolder(folder, options);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("wrote %zu files (%.1f KiB) to %s in %.3f s, seed %llu\n", report.Files.size(),
                    static_cast<double>(report.TotalBytes) / 1024.0, folder.c_str(), seconds,
                    static_cast<unsigned long long>(options.Seed));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wardrobix-sample-data: %s\n", error.what());
        return 1;
    }
}
