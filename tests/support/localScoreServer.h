#pragma once

#include "scratchFolder.h"

#include <string>
#include <sys/types.h>

// One HTTP answer as a test sees it.
struct HttpAnswer {
    long status = 0;                    // 0 when no answer came
    std::string body;
};

// The project's own score server (server/public run by PHP's built-in server)
// on a free port of 127.0.0.1, with a database of its own in a scratch folder;
// stopped by the destructor.
class LocalScoreServer {
public:
    explicit LocalScoreServer(int workers = 1);   // waits at most 10 s for the port
    ~LocalScoreServer();
    LocalScoreServer(const LocalScoreServer&) = delete;
    LocalScoreServer& operator=(const LocalScoreServer&) = delete;

    bool running() const { return port > 0; }
    int portNumber() const { return port; }
    std::string base() const;           // "http://127.0.0.1:PORT/"

    // Requests outside the game's client, for what it cannot do (POST, statuses)
    HttpAnswer get(const std::string& pathAndQuery) const;
    HttpAnswer post(const std::string& path, const std::string& formFields) const;
    HttpAnswer signUp(const std::string& name, const std::string& password) const;     // through the form
    HttpAnswer report(const std::string& name, const std::string& password, const std::string& score) const;

    // Every player and report in the database, a line each, for telling whether
    // a request changed anything
    std::string contents() const;

private:
    bool start(int workers);
    std::string databasePath() const { return scratch.file("scores.sqlite"); }

    ScratchFolder scratch{"stompathon-score-server"};
    pid_t pid = -1;
    int port = 0;
};

// "report.php?action=report&..." with each value percent-encoded, as any score is
// reported, "fast" and "-1" included
std::string reportQuery(const std::string& name, const std::string& password, const std::string& score);
