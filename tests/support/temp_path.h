// A file name in the temporary folder that no other test process uses: ctest runs the tests
// of one binary as parallel processes, so fixed names would collide.
#pragma once

#include <atomic>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vxtest {

inline std::string uniqueTempPath(const std::string& stem) {
    static std::atomic<int> counter{0};
    return ::testing::TempDir() + stem + "_" + std::to_string(::getpid()) + "_" +
           std::to_string(counter++);
}

} // namespace vxtest
