// The score server under load, as hosted: report.php through nginx and PHP-FPM
// (server/deploy/local-site.sh) with 50 clients for 20 s, once per store, beside
// a static file of the same nginx in the same run as the reference. Then the
// leaderboard page at 1,000,000 reports from 100,000 players, and what a login
// costs for a name that exists and for one that does not. PostgreSQL is measured
// when the PG* variables name a database (run under pg_virtualenv).
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const int clients = 50;
using Clock = std::chrono::steady_clock;

struct Load {
    double perSecond = 0, p50 = 0, p99 = 0;     // answers with status 200; milliseconds
    long answered = 0;
};

size_t ignoreBody(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Status of one request on a handle kept open between requests; the time it took in `ms`.
long request(CURL* curl, const std::string& url, double& ms, const char* form = nullptr) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, ignoreBody);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, form);
    curl_easy_setopt(curl, CURLOPT_HTTPGET, form == nullptr ? 1L : 0L);
    long status = 0;
    auto start = Clock::now();
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    }
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return status;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * values.size()))];
}

// `clients` clients asking the URL that `urlOf(client, request)` gives, for `seconds`.
template <typename UrlOf>
Load load(int seconds, UrlOf urlOf) {
    std::vector<double> latencies;
    std::mutex lock;
    std::atomic<long> answered{0};
    std::vector<std::thread> threads;
    auto end = Clock::now() + std::chrono::seconds(seconds);
    for (int client = 0; client < clients; client++) {
        threads.emplace_back([&, client] {
            CURL* curl = curl_easy_init();
            std::vector<double> own;
            for (long n = 0; Clock::now() < end; n++) {
                double ms = 0;
                if (request(curl, urlOf(client, n), ms) == 200) {
                    own.push_back(ms);
                }
            }
            curl_easy_cleanup(curl);
            std::lock_guard<std::mutex> hold(lock);
            latencies.insert(latencies.end(), own.begin(), own.end());
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    Load result;
    result.answered = latencies.size();
    result.perSecond = double(latencies.size()) / seconds;
    result.p50 = percentile(latencies, 0.5);
    result.p99 = percentile(latencies, 0.99);
    return result;
}

// Runs SQL on the store the server uses: a SELECT prints its first value.
std::string storeSql(const std::string& sql) {
    std::string command = "php -r '$db = new PDO(getenv(\"STOMPATHON_SCORES_DSN\"), getenv(\"STOMPATHON_SCORES_USER\")"
                          " ?: null, getenv(\"STOMPATHON_SCORES_PASSWORD\") ?: null);"
                          " echo str_starts_with($argv[1], \"SELECT\") ? $db->query($argv[1])->fetchColumn()"
                          " : $db->exec($argv[1]);' \"" + sql + "\"";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    for (int c; pipe != nullptr && (c = fgetc(pipe)) != EOF;) {
        output += char(c);
    }
    pclose(pipe);
    return output;
}

// 100,000 players with 10 reports each, and each one's best as the server keeps it.
const char* const boardOfAMillion =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)"
    " INSERT INTO players (name, name_key, clash, password_hash, signed_up_at)"
    " SELECT 'player' || i, 'player' || i, 0, '-', '2026-01-01 00:00:00' FROM n;"
    "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999999)"
    " INSERT INTO reports (player_id, seconds, reported_at)"
    " SELECT 1 + i % 100000, 10 + (i % 9973) / 100.0, '2026-01-01 00:00:00' FROM n;"
    "INSERT INTO bests (player_id, report_id, seconds) SELECT player_id, id, seconds FROM ("
    " SELECT player_id, id, seconds, ROW_NUMBER() OVER (PARTITION BY player_id ORDER BY seconds, id) AS place"
    " FROM reports) AS ranked WHERE place = 1";

int freePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

void measure(const std::string& storeName, const std::string& dsn) {
    char folder[] = "/tmp/stompathon-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return;
    }
    setenv("STOMPATHON_SCORES_DSN", (dsn.empty() ? "sqlite:" + std::string(folder) + "/scores.sqlite" : dsn).c_str(), 1);
    setenv("STOMPATHON_SIGNUPS_PER_HOUR", "0", 1);     // the bench's players all come from here
    const std::string port = std::to_string(freePort()), base = "http://127.0.0.1:" + port + "/";
    pid_t site = fork();
    if (site == 0) {
        setpgid(0, 0);
        execlp("sh", "sh", SCORE_SERVER_DIR "/deploy/local-site.sh", folder, port.c_str(), nullptr);
        _exit(127);
    }
    CURL* curl = curl_easy_init();
    double ms = 0;
    for (int tries = 0; tries < 100 && request(curl, base, ms) != 200; tries++) {
        usleep(100000);    // until nginx answers and the store is made
    }
    storeSql(boardOfAMillion);
    std::vector<double> board, known, unknown;
    for (int n = 0; n < 20; n++) {
        request(curl, base, ms);
        board.push_back(ms);
    }
    for (int client = 0; client < clients; client++) {
        std::string form = "username=bench" + std::to_string(client) + "&password=pw12&password2=pw12";
        request(curl, base, ms, form.c_str());
    }
    for (int n = 0; n < 10; n++) {
        request(curl, base + "report.php?action=auth&username=bench" + std::to_string(n) + "&password=pw12", ms);
        known.push_back(ms);
        request(curl, base + "report.php?action=auth&username=nobody" + std::to_string(n) + "&password=pw12", ms);
        unknown.push_back(ms);
    }
    curl_easy_cleanup(curl);
    const long before = std::atol(storeSql("SELECT count(*) FROM reports").c_str());
    Load file = load(10, [&](int, long) { return base + "robots.txt"; });
    Load reports = load(20, [&](int client, long n) {
        return base + "report.php?action=report&username=bench" + std::to_string(client) + "&password=pw12&score=" +
               std::to_string(10 + n % 50) + ".5";
    });
    const long lost = reports.answered - (std::atol(storeSql("SELECT count(*) FROM reports").c_str()) - before);
    kill(-site, SIGTERM);
    waitpid(site, nullptr, 0);
    std::system(("rm -rf " + std::string(folder)).c_str());

    std::printf("%s, nginx + PHP-FPM, %d clients:\n", storeName.c_str(), clients);
    std::printf("  static file: %.0f answers/s, p50 %.2f ms, p99 %.2f ms (the reference)\n", file.perSecond, file.p50,
                file.p99);
    std::printf("  report.php: %.1f reports/s (%.4f of static), p50 %.1f ms (%.0fx), p99 %.1f ms (%.0fx), lost %ld\n",
                reports.perSecond, reports.perSecond / file.perSecond, reports.p50, reports.p50 / file.p50,
                reports.p99, reports.p99 / file.p99, lost);
    std::printf("  leaderboard at 1,000,000 reports from 100,000 players: p50 %.1f ms (%.0fx static)\n",
                percentile(board, 0.5), percentile(board, 0.5) / file.p50);
    std::printf("  auth: a player's name p50 %.1f ms, a name of nobody p50 %.1f ms (%.2f of it)\n",
                percentile(known, 0.5), percentile(unknown, 0.5), percentile(unknown, 0.5) / percentile(known, 0.5));
}

}  // namespace

int main() {
    curl_global_init(CURL_GLOBAL_ALL);
    measure("SQLite", "");
    const char* host = getenv("PGHOST");
    if (host == nullptr) {
        std::printf("PostgreSQL: not measured (run under pg_virtualenv, as make bench does)\n");
        return 0;
    }
    setenv("STOMPATHON_SCORES_USER", getenv("PGUSER"), 1);
    setenv("STOMPATHON_SCORES_PASSWORD", getenv("PGPASSWORD"), 1);
    measure("PostgreSQL", std::string("pgsql:host=") + host + ";port=" + getenv("PGPORT") + ";dbname=" +
                              getenv("PGDATABASE"));
    return 0;
}
