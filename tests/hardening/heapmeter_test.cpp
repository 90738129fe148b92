// The meter every allocation bound of the sweeps relies on: a meter that saw
// nothing would let every bound pass.

#include "heapmeter.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace wbx::testing {
namespace {

TEST(AllocationMeter, SeesTheLargestRequestOfThisThreadOnly) {
    std::unique_ptr<std::vector<char>> kept;
    const AllocationReport report = MeterAllocations([&] {
        kept = std::make_unique<std::vector<char>>(size_t{3} << 20);
        std::thread([] { std::vector<char> elsewhere(size_t{8} << 20); }).join();
        std::vector<char> small(100);
    });
    EXPECT_EQ(report.Largest, size_t{3} << 20);
    EXPECT_GE(report.Total, (size_t{3} << 20) + 100);
    EXPECT_GE(report.Count, 3u);
    // Nothing is counted outside a measurement.
    const AllocationReport idle = MeterAllocations([] {});
    std::vector<char> after(1000);
    EXPECT_EQ(idle.Largest, 0u);
}

}  // namespace
}  // namespace wbx::testing
