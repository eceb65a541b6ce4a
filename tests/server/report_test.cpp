// The project's score server (server/) run by PHP's built-in server on a free
// loopback port, asked through the game's own client where the game asks it:
// sign-up, authentication, reports, the leaderboard, bad input and parallel
// reports.
#include "localScoreServer.h"
#include "ofScraperWebConnection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

std::string auth(const LocalScoreServer& server, const std::string& name, const std::string& password) {
    ofScraperWebConnection web;
    web.getWebPageAsString(scoreServerAuthUrl(server.base(), name, password));
    return web.getString();
}

std::string report(const LocalScoreServer& server, const std::string& name, const std::string& password, int ms) {
    ofScraperWebConnection web;
    web.getWebPageAsString(scoreServerReportUrl(server.base(), name, password, ms));
    return web.getString();
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
    for (const char* wrong : {"pw13", "pw1", ""}) EXPECT_EQ(auth(server, "runner", wrong), "0") << wrong;
    EXPECT_EQ(auth(server, "", ""), "0");
    // The password hash reads 72 bytes: a longer password with the same beginning is another password.
    ASSERT_EQ(server.signUp("hasher", std::string(72, 'x')).status, 201);
    EXPECT_EQ(auth(server, "hasher", std::string(72, 'x')), "1");
    EXPECT_EQ(auth(server, "hasher", std::string(72, 'x') + "y"), "0");

    EXPECT_EQ(report(server, "runner", "pw12", 12345), "time recorded: 12.345 s for runner");
    EXPECT_EQ(report(server, "runner", "pw12", 9000), "time recorded: 9 s for runner");
    ASSERT_EQ(server.signUp("sprinter", "fast").status, 201);
    EXPECT_EQ(report(server, "sprinter", "fast", 10500), "time recorded: 10.5 s for sprinter");

    // Best times (the rest of the board is checked in a browser): each player's
    // best once, fastest first; runner's slower run is not a best time.
    std::string page = server.get("").body;
    std::string best = page.substr(0, page.find("id=\"latest-runs\""));
    EXPECT_LT(best.find(">runner<"), best.find(">sprinter<"));
    EXPECT_NE(best.find("9.000 s"), std::string::npos);
    EXPECT_EQ(best.find("12.345 s"), std::string::npos) << "a slower run counted as a best time";
    EXPECT_EQ(best.find(">runner<", best.find(">runner<") + 1), std::string::npos) << "two rows for one player";
}

TEST(scoreServer, BadInputIsAnsweredWithAReasonAndChangesNothing) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(server.signUp("runner", "pw12").status, 201);
    ASSERT_EQ(report(server, "runner", "pw12", 12345).rfind("time recorded", 0), 0u);
    const std::string before = server.contents();
    ASSERT_NE(before.find("reports: "), std::string::npos) << before;

    const std::string name33(33, 'n'), password73(73, 'p');
    struct BadRequest {
        std::string query;      // a GET of report.php when it starts "report.php", else a sign-up POST
        long status;
    };
    const std::vector<BadRequest> requests = {
        {"report.php?username=runner&password=pw12", 400},
        {"report.php?action=delete&username=runner&password=pw12", 400},
        {"report.php?action=auth&username=runner", 400},
        {"report.php?action=auth&username[]=runner&password=pw12", 400},
        {"report.php?action=report&username=runner&password=pw12", 400},
        {reportQuery("runner", "pw12", "fast"), 400},  {reportQuery("runner", "pw12", "-12.5"), 400},
        {reportQuery("runner", "pw12", "0"), 400},     {reportQuery("runner", "pw12", "1e3"), 400},
        {reportQuery("runner", "pw12", "NaN"), 400},   {reportQuery("runner", "pw12", "INF"), 400},
        {reportQuery("runner", "pw12", "86400"), 400}, {reportQuery("runner", "pw12", "12.5.3"), 400},
        {reportQuery("runner", "pw12", "12.5 "), 400}, {reportQuery("runner", "pw13", "12.5"), 403},
        {reportQuery("walker", "pw12", "12.5"), 403},  {reportQuery(name33, "pw12", "12.5"), 400},
        {"username=&password=pw12&password2=pw12", 400},
        {"username=" + name33 + "&password=pw12&password2=pw12", 400},
        {"username=run%01ner&password=pw12&password2=pw12", 400},
        {"username=+walker&password=pw12&password2=pw12", 400},
        {"username=walker&password=pw1&password2=pw1", 400},
        {"username=walker&password=" + password73 + "&password2=" + password73, 400},
        {"username=walker&password=pw12&password2=pw21", 400},
        {"username=walker&password=pw12", 400},
        {"username=runner&password=other&password2=other", 409},
        {"username=RUNNER&password=other&password2=other", 409},
    };
    for (const BadRequest& request : requests) {
        bool get = request.query.rfind("report.php", 0) == 0;
        HttpAnswer answer = get ? server.get(request.query) : server.post("", request.query);
        EXPECT_EQ(answer.status, request.status) << request.query << ": " << answer.body;
        EXPECT_FALSE(answer.body.empty()) << request.query << ": no reason given";
        EXPECT_EQ(server.contents(), before) << request.query << " changed the store";
    }
    EXPECT_EQ(auth(server, "runner", "pw12"), "1");
    EXPECT_EQ(auth(server, "RUNNER", "other"), "0");
}

// Typed in a browser a name arrives as UTF-8; typed in the game, a byte per
// character in Latin-1. Both are the same player.
TEST(scoreServer, NamesAndPasswordsWithSpecialCharactersRoundTrip) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    const std::string browserName = "Zo\xC3\xAB & Jo+1 <b>", gameName = "Zo\xEB & Jo+1 <b>";
    const std::string gamePassword = "p&ss w+rd=\xE9%20";
    ASSERT_EQ(server.signUp(browserName, "p&ss w+rd=\xC3\xA9%20").status, 201);
    EXPECT_EQ(auth(server, browserName, "p&ss w+rd=\xC3\xA9%20"), "1");
    EXPECT_EQ(auth(server, gameName, gamePassword), "1");
    EXPECT_EQ(auth(server, gameName, "p&ss w+rd=\xE9 "), "0") << "%20 in a password decoded twice";
    EXPECT_EQ(auth(server, "Zo\xEB", gamePassword), "0") << "the name cut at the ampersand";
    EXPECT_EQ(report(server, gameName, gamePassword, 11111), "time recorded: 11.111 s for " + browserName);
}

// Many clients at once on a server with several workers sharing the one
// database file: every report is answered and stored exactly once.
TEST(scoreServer, ParallelReportsAreAllKept) {
    const int clients = 8, reportsPerClient = 25;
    LocalScoreServer server(4);
    ASSERT_TRUE(server.running());
    for (int client = 0; client < clients; client++) {
        ASSERT_EQ(server.signUp("runner" + std::to_string(client), "pw12").status, 201);
    }
    std::atomic<int> recorded{0};
    std::vector<std::thread> threads;
    for (int client = 0; client < clients; client++) {
        threads.emplace_back([&, client] {
            for (int i = 0; i < reportsPerClient; i++) {
                std::string score = std::to_string(client + 1) + "." + std::to_string(100 + i);
                recorded += server.report("runner" + std::to_string(client), "pw12", score).status == 200;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(recorded, clients * reportsPerClient);

    // Every report once, with its own player and time.
    std::istringstream contents(server.contents());
    std::multiset<std::string> stored;
    for (std::string line; std::getline(contents, line);) {
        std::string table, id, bar, playerId, seconds;
        std::istringstream(line) >> table >> id >> bar >> playerId >> bar >> seconds;
        if (table == "reports:") stored.insert(playerId + " " + seconds);
    }
    EXPECT_EQ(stored.size(), std::size_t(clients * reportsPerClient));
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()).size(), stored.size()) << "a report stored twice";
    for (int client = 0; client < clients; client++) {
        EXPECT_EQ(stored.count(std::to_string(client + 1) + " " + std::to_string(client + 1) + ".1"), 1u);
    }
}
