#pragma once
// One generated data folder per test process, shared by the tests that only
// read it (generated on first use under the test binary directory).

#include <string>

namespace wbx::testing {

// The folder generated with the default seed, ending in a separator.
const std::string& GeneratedFolder();
// A fresh, empty directory below the test binary directory.
std::string FreshDirectory(const std::string& name);

}  // namespace wbx::testing
