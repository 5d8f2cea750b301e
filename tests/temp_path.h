// A file name in the test temp folder that no other test process uses at the same time
// (ctest runs cases in parallel, and several checkouts may test on one machine).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace ternwick::test {

inline std::string TempPath(const std::string& name) {
    return testing::TempDir() + "ternwick-" + std::to_string(getpid()) + "-" + name;
}

}  // namespace ternwick::test
