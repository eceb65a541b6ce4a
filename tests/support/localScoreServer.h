#pragma once

#include "scratchFolder.h"

#include <string>
#include <sys/types.h>

// One HTTP answer as a test sees it.
struct HttpAnswer {
    long status = 0;                    // 0 when no answer came
    std::string body;
};

// An SQLite file, or the PostgreSQL database of the PG* variables (pg_virtualenv sets them).
enum class ScoreStore { sqlite, postgresql };
// PHP's development server as `make run` starts it, or nginx with PHP-FPM as server/deploy/local-site.sh.
enum class WebServer { php, nginx };

// The project's own score server (server/) on a free port of 127.0.0.1, its
// store and logs in a scratch folder; stopped by the destructor.
class LocalScoreServer {
public:
    // Waits at most 10 s for the port; `workers` counts PHP's development server's.
    explicit LocalScoreServer(int workers = 1, ScoreStore store = ScoreStore::sqlite, WebServer web = WebServer::php);
    ~LocalScoreServer();
    LocalScoreServer(const LocalScoreServer&) = delete;
    LocalScoreServer& operator=(const LocalScoreServer&) = delete;

    bool running() const { return port > 0; }
    int portNumber() const { return port; }
    std::string base() const;           // "http://127.0.0.1:PORT/"

    // Requests outside the game's client, for what it cannot do (POST, HEAD, statuses)
    HttpAnswer get(const std::string& pathAndQuery, bool head = false) const;
    HttpAnswer post(const std::string& path, const std::string& formFields) const;
    HttpAnswer signUp(const std::string& name, const std::string& password) const;     // through the form

    std::string contents() const;       // every row of every table, "table: a | b | c" a line
    std::string sql(const std::string& statements) const;   // run behind the server's back: "" or the error
    void clearStore() const;            // as if never used: the server makes it again
    std::string logs() const;           // all the server and its web server wrote

private:
    bool start(int workers, WebServer web);
    std::string storeDsn() const;       // PDO's

    ScratchFolder scratch{"stompathon-score-server"};
    bool postgresql = false;
    pid_t pid = -1;                     // PHP's server, or nginx with PHP-FPM
    int port = 0;
};

// "report.php?action=report&..." with each value percent-encoded, any score ("fast", "-1") included
std::string reportQuery(const std::string& name, const std::string& password, const std::string& score);
