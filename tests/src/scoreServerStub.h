#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The stand-in score server (scoreServerStub.py) as a child process on
// 127.0.0.1; stopped by the destructor. The first path component of a URL picks
// how it answers (see the script).
class ScoreServerStub {
public:
    ScoreServerStub();                  // waits at most 5 s for the port
    ~ScoreServerStub();
    ScoreServerStub(const ScoreServerStub&) = delete;
    ScoreServerStub& operator=(const ScoreServerStub&) = delete;

    bool running() const { return port > 0; }
    std::string base(const std::string& kind) const;    // "http://127.0.0.1:PORT/kind/"
    std::vector<std::string> requests() const;          // raw request paths, oldest first

    static std::string refusedBase();   // a base URL on a port nobody listens on

private:
    pid_t pid = -1;
    int port = 0;
    int portPipe = -1;                  // the server's standard output
    std::string logPath;
};
