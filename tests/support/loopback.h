#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Ports of 127.0.0.1 for servers that tests start.
int freeLoopbackPort();             // free just now (0 when none could be had)
bool loopbackAccepts(int port);     // something listens there

// A server on a free loopback port that answers the requests in turn with the
// given bytes (the last answer again for every later request), or accepts and
// never answers when they are empty: what the project's own score server never
// does. Stopped by the destructor.
class CannedServer {
public:
    explicit CannedServer(std::vector<std::string> answers);   // whole HTTP answers, status line first
    explicit CannedServer(std::string answer) : CannedServer(std::vector<std::string>{answer}) {}
    ~CannedServer();
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;

    std::string base() const;                       // "http://127.0.0.1:PORT/"
    std::vector<std::string> requestLines() const;  // "GET /path HTTP/1.1", oldest first

private:
    void serve();

    std::vector<std::string> responses;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    std::vector<std::string> lines;
    std::vector<int> heldOpen;                      // connections never answered
    std::thread thread;
};
