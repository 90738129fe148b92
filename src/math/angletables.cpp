#include "math/angletables.h"

#include <cmath>
#include <numbers>

namespace wbx {
namespace {

// Zero-initialised before any code runs; filled by BuildAngleTables.
constinit AngleTable sinStorage{};
constinit AngleTable cosStorage{};

}  // namespace

constinit const AngleTable& SinTable = sinStorage;
constinit const AngleTable& CosTable = cosStorage;

void BuildAngleTables() {
    // Extended precision as the tables were always made: i as a single,
    // divided by 2048, times pi in long double (80-bit on x86-64). Because
    // that pi is not exact, CosTable[1024] and SinTable[2048] come out as tiny
    // values of the order of 1e-20 rather than 0; callers never rely on an
    // exact zero there.
    constexpr long double pi = std::numbers::pi_v<long double>;
    for (int i = 0; i < kAngleSteps; ++i) {
        const long double radians = static_cast<long double>(static_cast<float>(i)) / 2048.0L * pi;
        sinStorage[i] = static_cast<float>(std::sin(radians));
        cosStorage[i] = static_cast<float>(std::cos(radians));
    }
}

detail::AngleTablesGuard::AngleTablesGuard() {
    // A function-local static: initialised exactly once, thread-safe.
    static const bool built = (BuildAngleTables(), true);
    (void)built;
}

}  // namespace wbx
