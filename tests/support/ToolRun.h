// Runs the built q6tool (or any command) from a test and collects what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace toolrun {

struct ToolRun {
    int status = -1;  // the exit status; -1 when the tool did not exit normally
    std::string out;  // standard output
};

// Runs a shell command line; its standard error goes to `errFile`.
inline ToolRun Shell(const std::string& cmd, const std::string& errFile = "/dev/null")
{
    ToolRun r;
    FILE* p = ::popen((cmd + " 2>" + errFile).c_str(), "r");
    if (!p) return r;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// Runs q6tool with `args` (shell words); its standard error goes to `errFile`.
inline ToolRun Tool(const std::string& args, const std::string& errFile = "/dev/null")
{
    return Shell(std::string(Q6_BIN_DIR) + "/q6tool " + args, errFile);
}

// The whole content of a file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

}  // namespace toolrun
