// The project's score server (server/) run by PHP's built-in server on a free
// loopback port, asked through the game's own client: sign-up, authentication,
// reports, the leaderboard, bad input and parallel reports. No display needed.
#include "localScoreServer.h"
#include "ofScraperWebConnection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// What the game's client gets back for one URL.
std::string gameFetch(const std::string& url) {
    ofScraperWebConnection connection;
    connection.getWebPageAsString(url);
    return connection.getString();
}

std::string auth(const LocalScoreServer& server, const std::string& name, const std::string& password) {
    return gameFetch(scoreServerAuthUrl(server.base(), name, password));
}

std::string report(const LocalScoreServer& server, const std::string& name, const std::string& password,
                   int finishTimeMs) {
    return gameFetch(scoreServerReportUrl(server.base(), name, password, finishTimeMs));
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        n++;
    }
    return n;
}

}  // namespace

TEST(scoreServer, PlayersSignUpLogInAndReachTheBoardFastestFirst) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());

    EXPECT_EQ(auth(server, "runner", "pw12"), "0") << "a player who never signed up";
    HttpAnswer signedUp = server.signUp("runner", "pw12");
    EXPECT_EQ(signedUp.status, 201);
    EXPECT_NE(signedUp.body.find("Welcome, runner!"), std::string::npos);

    EXPECT_EQ(auth(server, "runner", "pw12"), "1");
    EXPECT_EQ(auth(server, "runner", "pw13"), "0");
    EXPECT_EQ(auth(server, "runner", ""), "0");
    EXPECT_EQ(auth(server, "", ""), "0");
    // The password hash reads 72 bytes: a longer password with the same
    // beginning is another password.
    const std::string longest(72, 'x');
    ASSERT_EQ(server.signUp("hasher", longest).status, 201);
    EXPECT_EQ(auth(server, "hasher", longest), "1");
    EXPECT_EQ(auth(server, "hasher", longest + "y"), "0");

    EXPECT_EQ(report(server, "runner", "pw12", 12345), "time recorded: 12.345 s for runner");
    EXPECT_EQ(report(server, "runner", "pw12", 9000), "time recorded: 9 s for runner");
    ASSERT_EQ(server.signUp("sprinter", "fast").status, 201);
    EXPECT_EQ(report(server, "sprinter", "fast", 10500), "time recorded: 10.5 s for sprinter");

    // Best times: sprinter's only run lies between runner's two, so runner's
    // best (9 s) comes first, then sprinter; runner's slower run is listed only
    // among the latest runs, which come newest first.
    HttpAnswer page = server.get("");
    ASSERT_EQ(page.status, 200);
    std::size_t best = page.body.find("id=\"best-times\"");
    std::size_t latest = page.body.find("id=\"latest-runs\"");
    ASSERT_NE(best, std::string::npos);
    ASSERT_NE(latest, std::string::npos);
    std::string bestTable = page.body.substr(best, latest - best);
    std::string latestTable = page.body.substr(latest);
    EXPECT_LT(bestTable.find(">runner<"), bestTable.find(">sprinter<"));
    EXPECT_NE(bestTable.find("9.000 s"), std::string::npos);
    EXPECT_EQ(bestTable.find("12.345 s"), std::string::npos) << "a slower run counted as a best time";
    EXPECT_EQ(occurrences(bestTable, ">runner<"), 1u);
    EXPECT_LT(latestTable.find("10.500 s"), latestTable.find("9.000 s"));
    EXPECT_LT(latestTable.find("9.000 s"), latestTable.find("12.345 s"));
}

TEST(scoreServer, BadInputIsAnsweredWithAReasonAndChangesNothing) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(server.signUp("runner", "pw12").status, 201);
    ASSERT_EQ(report(server, "runner", "pw12", 12345).rfind("time recorded", 0), 0u);
    const std::string before = server.contents();
    ASSERT_NE(before.find("reports: "), std::string::npos) << before;

    struct BadRequest {
        const char* what;
        std::string pathAndQuery;
        std::string formFields;     // a POST to the sign-up page when not empty
        long status;
    };
    const std::string name33(33, 'n');
    const std::vector<BadRequest> requests = {
        {"no action", "report.php?username=runner&password=pw12", "", 400},
        {"unknown action", "report.php?action=delete&username=runner&password=pw12", "", 400},
        {"no password", "report.php?action=auth&username=runner", "", 400},
        {"a list for a name", "report.php?action=auth&username[]=runner&password=pw12", "", 400},
        {"no score", "report.php?action=report&username=runner&password=pw12", "", 400},
        {"a word for a score", reportQuery("runner", "pw12", "fast"), "", 400},
        {"a negative score", reportQuery("runner", "pw12", "-12.5"), "", 400},
        {"a score of zero", reportQuery("runner", "pw12", "0"), "", 400},
        {"an exponent", reportQuery("runner", "pw12", "1e3"), "", 400},
        {"not a number", reportQuery("runner", "pw12", "NaN"), "", 400},
        {"infinity", reportQuery("runner", "pw12", "INF"), "", 400},
        {"a whole day", reportQuery("runner", "pw12", "86400"), "", 400},
        {"two points", reportQuery("runner", "pw12", "12.5.3"), "", 400},
        {"space after the score", reportQuery("runner", "pw12", "12.5 "), "", 400},
        {"a wrong password", reportQuery("runner", "pw13", "12.5"), "", 403},
        {"an unknown player", reportQuery("walker", "pw12", "12.5"), "", 403},
        {"a name too long", reportQuery(name33, "pw12", "12.5"), "", 400},
        {"sign-up without a name", "", "username=&password=pw12&password2=pw12", 400},
        {"sign-up with a long name", "", "username=" + name33 + "&password=pw12&password2=pw12", 400},
        {"sign-up with a control character", "", "username=run%01ner&password=pw12&password2=pw12", 400},
        {"sign-up with a leading space", "", "username=+walker&password=pw12&password2=pw12", 400},
        {"sign-up with a short password", "", "username=walker&password=pw1&password2=pw1", 400},
        {"sign-up with a long password", "", "username=walker&password=" + std::string(73, 'p') +
                                                 "&password2=" + std::string(73, 'p'), 400},
        {"sign-up with passwords that differ", "", "username=walker&password=pw12&password2=pw21", 400},
        {"sign-up without the second password", "", "username=walker&password=pw12", 400},
        {"sign-up with a name taken", "", "username=runner&password=other&password2=other", 409},
        {"sign-up with a name taken in capitals", "", "username=RUNNER&password=other&password2=other", 409},
    };
    for (const BadRequest& request : requests) {
        HttpAnswer answer = request.formFields.empty() ? server.get(request.pathAndQuery)
                                                       : server.post("", request.formFields);
        EXPECT_EQ(answer.status, request.status) << request.what << ": " << answer.body;
        EXPECT_FALSE(answer.body.empty()) << request.what << ": no reason given";
        EXPECT_EQ(server.contents(), before) << request.what << " changed the store";
    }
    // The player and the time are still there and still usable.
    EXPECT_EQ(auth(server, "runner", "pw12"), "1");
    EXPECT_EQ(auth(server, "RUNNER", "other"), "0");
}

TEST(scoreServer, NamesAndPasswordsWithSpecialCharactersRoundTrip) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    // Typed in a browser the name arrives as UTF-8; typed in the game, a byte
    // per character in Latin-1. Both must be the same player.
    const std::string browserName = "Zo\xC3\xAB & Jo+1 <b>";
    const std::string gameName = "Zo\xEB & Jo+1 <b>";
    const std::string browserPassword = "p&ss w+rd=\xC3\xA9%20";
    const std::string gamePassword = "p&ss w+rd=\xE9%20";
    ASSERT_EQ(server.signUp(browserName, browserPassword).status, 201);

    EXPECT_EQ(auth(server, browserName, browserPassword), "1");
    EXPECT_EQ(auth(server, gameName, gamePassword), "1");
    EXPECT_EQ(auth(server, gameName, "p&ss w+rd=\xE9 "), "0") << "%20 in a password decoded twice";
    EXPECT_EQ(auth(server, "Zo\xEB", gamePassword), "0") << "the name cut at the ampersand";

    EXPECT_EQ(report(server, gameName, gamePassword, 11111), "time recorded: 11.111 s for " + browserName);
    HttpAnswer page = server.get("");
    EXPECT_NE(page.body.find(">Zo\xC3\xAB &amp; Jo+1 &lt;b&gt;<"), std::string::npos) << page.body;
    EXPECT_EQ(page.body.find("Jo+1 <b>"), std::string::npos) << "a name written into the page as HTML";
}

// Reports from many clients at once, on a server with several workers sharing
// the one database file: every report is answered and stored exactly once.
TEST(scoreServer, ParallelReportsAreAllKept) {
    const int workers = 4;
    const int clients = 8;
    const int reportsPerClient = 25;
    LocalScoreServer server(workers);
    ASSERT_TRUE(server.running());
    for (int client = 0; client < clients; client++) {
        ASSERT_EQ(server.signUp("runner" + std::to_string(client), "pw12").status, 201);
    }

    std::atomic<int> recorded{0};
    std::vector<std::string> failures(clients);
    std::vector<std::thread> threads;
    for (int client = 0; client < clients; client++) {
        threads.emplace_back([&, client] {
            for (int i = 0; i < reportsPerClient; i++) {
                std::string score = std::to_string(client + 1) + "." + std::to_string(100 + i);
                HttpAnswer answer = server.report("runner" + std::to_string(client), "pw12", score);
                if (answer.status == 200) {
                    recorded++;
                } else if (failures[client].empty()) {
                    failures[client] = score + ": " + std::to_string(answer.status) + " " + answer.body;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const std::string& failure : failures) {
        EXPECT_EQ(failure, "");
    }
    EXPECT_EQ(recorded, clients * reportsPerClient);

    // Every report once, with its own player and time.
    std::istringstream contents(server.contents());
    std::set<std::string> stored;
    int reportLines = 0;
    for (std::string line; std::getline(contents, line);) {
        if (line.rfind("reports: ", 0) == 0) {
            reportLines++;
            std::istringstream fields(line.substr(9));
            std::string id, bar, playerId, seconds;
            fields >> id >> bar >> playerId >> bar >> seconds;
            stored.insert(playerId + " " + seconds);
        }
    }
    EXPECT_EQ(reportLines, clients * reportsPerClient);
    EXPECT_EQ(stored.size(), std::size_t(clients * reportsPerClient)) << "a report stored twice";
    for (int client = 0; client < clients; client++) {
        std::string firstTime = std::to_string(client + 1) + ".1";
        EXPECT_EQ(stored.count(std::to_string(client + 1) + " " + firstTime), 1u) << "runner" << client;
    }
    EXPECT_EQ(server.get("").status, 200);
}
