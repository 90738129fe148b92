#pragma once
// The angle unit and its sine and cosine tables.
//
// Angles are 32-bit integers in which 4096 steps make one full turn (angle a
// stands for a * 2*pi / 4096 radians). Only the low 12 bits count: any
// integer, negative ones included, is taken modulo 4096 in two's complement,
// so -1 and 4095 are the same angle and 4096 is angle 0.
//
// SinTable[i] and CosTable[i] hold sin and cos of i * pi / 2048, computed in
// extended precision and rounded to single. They are read-only for callers.
//
// Initialisation order. The tables are plain static storage (zero until
// built), so a reader running during another translation unit's static
// initialisation could see zeros if nothing ordered the two. Every
// translation unit that includes this header therefore carries its own
// AngleTablesGuard object (the "nifty counter" idiom, as <iostream> does for
// std::cout): it is defined in that unit ahead of anything the unit itself
// declares later, and its constructor builds the tables once per process. So
// the tables are complete before any static initialiser of any unit that can
// name them runs, and ever after. Building is idempotent and thread-safe.

#include <array>
#include <cstdint>

namespace wbx {

inline constexpr int kAngleSteps = 4096;     // steps per full turn
inline constexpr int32_t kAngleMask = 4095;  // angle AND kAngleMask gives the table index
using AngleTable = std::array<float, kAngleSteps>;

// The tables (never null; storage lives in angletables.cpp). References bound
// to static storage are constant-initialised, so they are valid at any time.
extern const AngleTable& SinTable;
extern const AngleTable& CosTable;

// Fills SinTable and CosTable. Runs automatically at start-up (see above);
// calling it again rebuilds the same values.
void BuildAngleTables();

// The table index of an angle: its low 12 bits.
constexpr int AngleIndex(int32_t angle) { return static_cast<int>(angle & kAngleMask); }

namespace detail {
// Builds the tables on first construction in the process; later ones do nothing.
struct AngleTablesGuard {
    AngleTablesGuard();
};
// One per translation unit (internal linkage); see the header comment.
static const AngleTablesGuard angleTablesGuard;
}  // namespace detail

}  // namespace wbx
