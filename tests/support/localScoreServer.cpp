#include "localScoreServer.h"

#include "commandOutput.h"
#include "loopback.h"
#include "ofScraperWebConnection.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string variable(const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? value : "";
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Starts a shell command in a process group of its own that dies with this process.
pid_t startProgram(const std::string& command) {
    pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);   // never outlives a test that crashed
        setpgid(0, 0);                      // its workers share its process group
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

void stopProgram(pid_t& pid) {
    if (pid > 0) {
        kill(-pid, SIGKILL);                // the program and its workers
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

// One request with curl, whose arguments these are; its status written after the body.
HttpAnswer httpRequest(const std::string& arguments) {
    std::string output = commandOutput("curl --silent --max-time 30 --write-out '\\n%{http_code}' " + arguments);
    size_t end = output.rfind('\n');
    return {end == std::string::npos ? 0 : std::stol(output.substr(end + 1)), output.substr(0, end)};
}

}  // namespace

LocalScoreServer::LocalScoreServer(int workers, ScoreStore store, WebServer web)
    : postgresql(store == ScoreStore::postgresql) {
    // Another process may take the free port before the server binds it: try again.
    for (int attempt = 0; attempt < 3 && !start(workers, web); attempt++) {
    }
}

bool LocalScoreServer::start(int workers, WebServer web) {
    const int candidate = freeLoopbackPort();
    std::string command = "STOMPATHON_SCORES_DSN=" + shellQuoted(storeDsn()) +
                          " STOMPATHON_SCORES_USER=" + shellQuoted(variable("PGUSER")) +
                          " STOMPATHON_SCORES_PASSWORD=" + shellQuoted(variable("PGPASSWORD")) + " exec ";
    if (web == WebServer::php) {
        command = (workers > 1 ? "PHP_CLI_SERVER_WORKERS=" + std::to_string(workers) + " " : "") + command +
                  "php -q -d " + shellQuoted("error_log=" + scratch.file("php-errors.log")) + " -S 127.0.0.1:" +
                  std::to_string(candidate) + " -t " + shellQuoted(SCORE_SERVER_PUBLIC_DIR);
    } else {
        command += "sh " + shellQuoted(SCORE_SERVER_PUBLIC_DIR "/../deploy/local-site.sh") + " " +
                   shellQuoted(scratch.path()) + " " + std::to_string(candidate);
    }
    pid = startProgram(command + " >> " + shellQuoted(scratch.file("server.log")) + " 2>&1");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (candidate != 0 && std::chrono::steady_clock::now() < deadline && waitpid(pid, nullptr, WNOHANG) == 0) {
        if (loopbackAccepts(candidate)) {
            port = candidate;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stopProgram(pid);
    return false;
}

LocalScoreServer::~LocalScoreServer() {
    stopProgram(pid);
}

std::string LocalScoreServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/";
}

HttpAnswer LocalScoreServer::get(const std::string& pathAndQuery, bool head) const {
    return httpRequest((head ? "--head " : "") + shellQuoted(base() + pathAndQuery));
}

HttpAnswer LocalScoreServer::post(const std::string& path, const std::string& formFields) const {
    return httpRequest("--data-raw " + shellQuoted(formFields) + " " + shellQuoted(base() + path));
}

HttpAnswer LocalScoreServer::signUp(const std::string& name, const std::string& password) const {
    return post("", "username=" + percentEncode(name) + "&password=" + percentEncode(password) +
                        "&password2=" + percentEncode(password));
}

std::string LocalScoreServer::storeDsn() const {
    if (postgresql) {
        return "pgsql:host=" + variable("PGHOST") + ";port=" + variable("PGPORT") + ";dbname=" + variable("PGDATABASE");
    }
    return "sqlite:" + scratch.file("scores.sqlite");
}

// Through PHP's PDO, as the server reaches the store: the statements, or with
// none, every row of every table (nothing when an SQLite file is not there yet).
std::string LocalScoreServer::sql(const std::string& statements) const {
    const std::string script = R"(
        [, $dsn, $statements] = $argv;
        if ($statements === '' && str_starts_with($dsn, 'sqlite:') && !file_exists(substr($dsn, 7))) exit;
        $db = new PDO($dsn, getenv('PGUSER'), getenv('PGPASSWORD'));   // a failure: PHP prints why
        if ($statements !== '') exit($db->exec($statements) === false ? 1 : 0);
        $tables = $db->query($db->getAttribute(PDO::ATTR_DRIVER_NAME) === 'sqlite'
            ? "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"
            : "SELECT table_name FROM information_schema.tables WHERE table_schema = 'public' ORDER BY 1");
        foreach ($tables->fetchAll(PDO::FETCH_COLUMN) as $table)
            foreach ($db->query("SELECT * FROM $table ORDER BY 1", PDO::FETCH_NUM) as $row)
                echo $table, ': ', implode(' | ', $row), "\n";)";
    return commandOutput("php -r " + shellQuoted(script) + " " + shellQuoted(storeDsn()) + " " +
                         shellQuoted(statements) + " 2>&1");
}

std::string LocalScoreServer::contents() const {
    return sql("");
}

void LocalScoreServer::clearStore() const {
    if (postgresql) {
        sql("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    } else {
        commandOutput("rm -f " + shellQuoted(scratch.file("scores.sqlite")) + "*");   // with -wal and -shm
    }
}

std::string LocalScoreServer::logs() const {
    return commandOutput("cat " + shellQuoted(scratch.path()) + "/*.log");
}

std::string reportQuery(const std::string& name, const std::string& password, const std::string& score) {
    return "report.php?action=report&username=" + percentEncode(name) + "&password=" + percentEncode(password) +
           "&score=" + percentEncode(score);
}
