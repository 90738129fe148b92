#pragma once
// wardrobix render: one outfit drawn without a window, into the files the
// command line asks for (a picture or a turntable animation, the composed
// textures, the figure as .glb and as .obj). Every file is written whole or
// not at all (atomicfile.h).

#include <functional>
#include <string>

#include "viewer/commandline.h"

namespace wbx {

// Prints one line for the user (without its newline).
using TLinePrinter = std::function<void(const std::string&)>;

// Runs the subcommand; returns its exit status (commandline.h): 2 for an
// unusable data folder, an unknown item or an output that cannot be written,
// all found before anything is drawn; 3 when the body type's model file is
// missing; 1 when a file is damaged or cannot be written. error gets the
// reasons.
int RunRenderCommand(const TCommandLine& commandLine, const TLinePrinter& error);

// The yaw of frame (0-based) of a turntable of frames frames starting at yaw:
// whole turns shared out evenly, rounded to angle units.
int32_t TurntableYaw(int32_t yaw, int32_t frame, int32_t frames);

}  // namespace wbx
