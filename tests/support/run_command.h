// Runs a command through the shell and captures its standard output, standard error and exit
// status.
#pragma once

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace vxtest {

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline CommandResult runCommand(const std::string& command) {
    char errPath[] = "/tmp/ornivex-test-stderr-XXXXXX";
    int fd = mkstemp(errPath);
    if (fd >= 0) close(fd);
    CommandResult r;
    std::string full = command + " 2>" + errPath;
    FILE* p = popen(full.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(errPath);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    unlink(errPath);
    return r;
}

} // namespace vxtest
