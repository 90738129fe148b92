#pragma once
// A fuzz input as a command line: the bytes split at NUL into arguments, as a
// program receives them, after the program's name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wbx::testing {

inline std::vector<std::string> FuzzArguments(const uint8_t* data, size_t size, std::string program) {
    std::vector<std::string> arguments{std::move(program), std::string()};
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back() += static_cast<char>(data[i]);
    }
    return arguments;
}

}  // namespace wbx::testing
