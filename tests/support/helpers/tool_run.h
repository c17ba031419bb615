#pragma once
// Runs a command-line program through the shell and keeps what it printed.

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `command` is a shell command line; its standard error goes to `errFile`.
inline ToolRun RunTool(const std::string& command, const std::string& errFile)
{
    const std::string cmd = command + " 2>'" + errFile + "'";
    ToolRun run;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int rc = pclose(pipe);
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::ifstream in(errFile, std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}
