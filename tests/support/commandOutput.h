#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

// What a shell command writes on its standard output, read to its end; its
// exit status in `exitStatus` when given (-1 when it did not exit by itself).
inline std::string commandOutput(const std::string& command, int* exitStatus = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char chunk[4096];
    for (size_t n; pipe != nullptr && (n = fread(chunk, 1, sizeof(chunk), pipe)) > 0;) {
        output.append(chunk, n);
    }
    int waitStatus = pipe != nullptr ? pclose(pipe) : -1;
    if (exitStatus != nullptr) {
        *exitStatus = waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    }
    return output;
}
