#include "localScoreServer.h"

#include "commandOutput.h"
#include "loopback.h"
#include "ofScraperWebConnection.h"

#include <chrono>
#include <curl/curl.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

static size_t appendTo(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// One blocking request; a form body makes it a POST.
static HttpAnswer httpRequest(const std::string& url, const std::string* form = nullptr) {
    HttpAnswer answer;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    if (form != nullptr) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, form->c_str());
    }
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    }
    curl_easy_cleanup(curl);
    return answer;
}

LocalScoreServer::LocalScoreServer(int workers) {
    // Another process may take the free port before PHP binds it: try again.
    for (int attempt = 0; attempt < 3 && !start(workers); attempt++) {
    }
}

bool LocalScoreServer::start(int workers) {
    int candidate = freeLoopbackPort();
    if (candidate == 0 || scratch.path().empty()) {
        return false;
    }
    std::string address = "127.0.0.1:" + std::to_string(candidate);
    std::string log = scratch.file("server.log");
    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);   // never outlives a test that crashed
        setpgid(0, 0);                      // its workers share its process group
        int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        setenv("STOMPATHON_SCORES_DB", databasePath().c_str(), 1);
        setenv("PHP_CLI_SERVER_WORKERS", std::to_string(workers).c_str(), 1);
        if (workers <= 1) {
            unsetenv("PHP_CLI_SERVER_WORKERS");
        }
        execlp("php", "php", "-q", "-S", address.c_str(), "-t", SCORE_SERVER_PUBLIC_DIR, (char*)nullptr);
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && waitpid(pid, nullptr, WNOHANG) == 0) {
        if (loopbackAccepts(candidate)) {
            port = candidate;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    return false;
}

LocalScoreServer::~LocalScoreServer() {
    if (pid > 0) {
        kill(-pid, SIGKILL);            // the server and its workers
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

std::string LocalScoreServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/";
}

HttpAnswer LocalScoreServer::get(const std::string& pathAndQuery) const {
    return httpRequest(base() + pathAndQuery);
}

HttpAnswer LocalScoreServer::post(const std::string& path, const std::string& formFields) const {
    return httpRequest(base() + path, &formFields);
}

HttpAnswer LocalScoreServer::signUp(const std::string& name, const std::string& password) const {
    return post("", "username=" + percentEncode(name) + "&password=" + percentEncode(password) +
                        "&password2=" + percentEncode(password));
}

HttpAnswer LocalScoreServer::report(const std::string& name, const std::string& password,
                                    const std::string& score) const {
    return get(reportQuery(name, password, score));
}

std::string LocalScoreServer::contents() const {
    return commandOutput(
        "php -r 'if (!file_exists($argv[1])) exit;"
        " $db = new PDO(\"sqlite:\" . $argv[1]);"
        " foreach ([\"players\", \"reports\"] as $table)"
        "  foreach ($db->query(\"SELECT * FROM $table ORDER BY id\", PDO::FETCH_NUM) as $row)"
        "   echo $table, \": \", implode(\" | \", $row), \"\\n\";' '" +
        databasePath() + "' 2>&1");
}

std::string reportQuery(const std::string& name, const std::string& password, const std::string& score) {
    return "report.php?action=report&username=" + percentEncode(name) + "&password=" + percentEncode(password) +
           "&score=" + percentEncode(score);
}
