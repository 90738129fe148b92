#pragma once
// wardrobix catalogue and wardrobix merge: the catalogue (catalogue.h) as the
// command line asks for it, with a progress display, and the merge of the
// manifests of a catalogue drawn in shards.

#include <cstdint>
#include <string>

#include "viewer/commandline.h"
#include "viewer/rendercommand.h"

namespace wbx {

struct TCatalogueConsole {
    // Each line of progress and each failure.
    TLinePrinter Line;
    // The progress goes to a terminal: one line redrawn in place (Redraw)
    // instead of a line per tenth of the work.
    bool Terminal = false;
    TLinePrinter Redraw;  // the text of the progress line, without "\r"
};

// Exit statuses: 0 every picture made or kept; 1 some failed (the manifest
// says which) or the run stopped (a full disk); 2 bad arguments, data folder
// or output folder, found before any work; 3 the model file is missing.
int RunCatalogueCommand(const TCommandLine& commandLine, const TCatalogueConsole& console);
int RunMergeCommand(const TCommandLine& commandLine, const TLinePrinter& error);

// The progress line: "[#####     ] 50% 1000/2000 items, 812.3/s, 1s left".
std::string ProgressLine(int64_t done, int64_t total, double seconds);

}  // namespace wbx
