#include "scoreServerStub.h"

#include "loopback.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

ScoreServerStub::ScoreServerStub() {
    char logTemplate[] = "/tmp/score_server_stub_XXXXXX";
    int logFd = mkstemp(logTemplate);
    if (logFd < 0) {
        return;
    }
    close(logFd);
    logPath = logTemplate;

    int out[2];
    if (pipe(out) != 0) {
        return;
    }
    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);   // never outlives a test that crashed
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl("/usr/bin/python3", "python3", SCORE_SERVER_STUB_SCRIPT, logPath.c_str(), (char*)nullptr);
        _exit(127);
    }
    close(out[1]);
    // Read up to the line end; the pipe stays open until the server is stopped.
    portPipe = out[0];
    std::string line;
    pollfd ready = {portPipe, POLLIN, 0};
    char c = 0;
    while (pid > 0 && line.size() < 16 && poll(&ready, 1, 5000) == 1 && read(portPipe, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    port = c == '\n' ? std::atoi(line.c_str()) : 0;
}

ScoreServerStub::~ScoreServerStub() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (portPipe >= 0) {
        close(portPipe);
    }
    if (!logPath.empty()) {
        std::remove(logPath.c_str());
    }
}

std::string ScoreServerStub::base(const std::string& kind) const {
    return "http://127.0.0.1:" + std::to_string(port) + "/" + kind + "/";
}

std::vector<std::string> ScoreServerStub::requests() const {
    std::vector<std::string> lines;
    std::ifstream in(logPath);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string ScoreServerStub::refusedBase() {
    return "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/";
}
