// Files, commands and texts of a test: a file name in the test temp folder that no other test
// process uses at the same time (ctest runs cases in parallel, and several checkouts may test
// on one machine), and a command's status and output.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace ternwick::test {

inline std::string TempPath(const std::string& name) {
    return testing::TempDir() + "ternwick-" + std::to_string(getpid()) + "-" + name;
}

// Writes `bytes` to TempPath(name) and returns that path.
inline std::string WriteTemp(const std::string& name, const std::string& bytes) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The whole of a file ("" when it cannot be read).
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// Whether `text` holds `part`; a failure shows both.
inline testing::AssertionResult TextHolds(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "\"" << part << "\" is not in \"" << text << "\"";
}

struct RunResult { int status = -1; std::string out; };

// Runs a shell command line: its exit status and what it wrote to standard output.
inline RunResult RunCommand(const std::string& command) {
    RunResult r;
    FILE* p = popen(command.c_str(), "r");
    EXPECT_NE(p, nullptr) << command;
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    r.status = WEXITSTATUS(pclose(p));
    return r;
}

}  // namespace ternwick::test
