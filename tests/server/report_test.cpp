// The project's score server (server/), asked through the game's own client where the game asks
// it; on SQLite through PHP's development server and through nginx with PHP-FPM, and on PostgreSQL.
#include "localScoreServer.h"
#include "ofScraperWebConnection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <regex>
#include <thread>
#include <vector>

namespace {

// What the game's client takes from an answer: the body of a 200, else "".
std::string gameAsks(const std::string& url) {
    ofScraperWebConnection web;
    web.getWebPageAsString(url);
    return web.getString();
}

std::string signUpForm(const std::string& name, const std::string& password = "pw12") {
    return "username=" + percentEncode(name) + "&password=" + percentEncode(password) + "&password2=" +
           percentEncode(password);
}

std::string authQuery(const std::string& name, const std::string& password) {
    return "report.php?action=auth&username=" + percentEncode(name) + "&password=" + percentEncode(password);
}

// One server per setup for the whole program, so that nginx starts once; each test's store is empty.
class ScoreServer : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        static std::map<std::string, LocalScoreServer> servers;
        const bool postgresql = GetParam().rfind("postgresql", 0) == 0;
        const bool nginx = GetParam().find("nginx") != std::string::npos;
        server = &servers.try_emplace(GetParam(), 4, postgresql ? ScoreStore::postgresql : ScoreStore::sqlite,
                                      nginx ? WebServer::nginx : WebServer::php).first->second;
        ASSERT_TRUE(server->running());
        server->clearStore();
    }
    std::string auth(const std::string& name, const std::string& password) const {
        return gameAsks(scoreServerAuthUrl(server->base(), name, password));
    }
    std::string report(const std::string& name, const std::string& password, int ms) const {
        return gameAsks(scoreServerReportUrl(server->base(), name, password, ms));
    }
    // "name time" a line for the board's best times, top down.
    std::string bestTimes() const {
        std::string page = server->get("").body, best;
        page = page.substr(0, page.find("id=\"latest-runs\""));
        std::regex row("class=\"player\">([^<]*)</td><td class=\"number\">([^<]*)<");
        for (auto at = std::sregex_iterator(page.begin(), page.end(), row); at != std::sregex_iterator(); ++at) {
            best += (*at)[1].str() + " " + (*at)[2].str() + "\n";
        }
        return best;
    }

    LocalScoreServer* server = nullptr;
};

}  // namespace

// Sign-up, logins, reports and the board; a failing store answers 503, its reason (never a password) in a log.
TEST_P(ScoreServer, PlayersSignUpLogInAndReachTheBoardFastestFirst) {
    EXPECT_EQ(server->signUp("runner", "pw12").status, 201);
    EXPECT_EQ(auth("runner", "pw12"), "1");
    for (const char* wrong : {"pw13", "pw1", ""}) EXPECT_EQ(auth("runner", wrong), "0") << wrong;
    // The password hash reads 72 bytes: a longer password with the same beginning is another password.
    ASSERT_EQ(server->signUp("hasher", std::string(72, 'x')).status, 201);
    EXPECT_EQ(auth("hasher", std::string(72, 'x')), "1");
    EXPECT_EQ(auth("hasher", std::string(72, 'x') + "y"), "0");

    EXPECT_EQ(report("runner", "pw12", 12345), "time recorded: 12.345 s for runner");
    EXPECT_EQ(report("runner", "pw12", 9000), "time recorded: 9 s for runner");
    ASSERT_EQ(server->signUp("sprinter", "pw1fast").status, 201);
    ASSERT_EQ(server->signUp("tied", "pw1fast").status, 201);
    EXPECT_EQ(report("sprinter", "pw1fast", 10500), "time recorded: 10.5 s for sprinter");
    EXPECT_EQ(report("tied", "pw1fast", 9000), "time recorded: 9 s for tied");
    EXPECT_EQ(report("runner", "pw12", 9000), "time recorded: 9 s for runner");
    EXPECT_EQ(report("sprinter", "pw1fast", 11000), "time recorded: 11 s for sprinter");
    EXPECT_EQ(server->get(reportQuery("runner", "pw13", "1")).status, 403);
    EXPECT_EQ(server->get(reportQuery("walker", "pw12", "1")).status, 403);
    // Each player's best once, fastest first; the earlier run keeps a tie.
    EXPECT_EQ(bestTimes(), "runner 9.000 s\ntied 9.000 s\nsprinter 10.500 s\n");

    ASSERT_EQ(server->sql("DROP TABLE bests"), "");
    EXPECT_EQ(server->get(reportQuery("runner", "pw12", "8.5")).status, 503);
    EXPECT_EQ(server->get("").status, 503);
    const std::string logs = server->logs();
    EXPECT_NE(logs.find("bests"), std::string::npos) << logs;
    EXPECT_EQ(logs.find("pw1"), std::string::npos) << logs;
}

TEST_P(ScoreServer, BadInputIsAnsweredWithAReasonAndChangesNothing) {
    ASSERT_EQ(server->signUp("runner", "pw12").status, 201);
    ASSERT_EQ(report("runner", "pw12", 12345).rfind("time recorded", 0), 0u);
    const std::string before = server->contents();
    ASSERT_NE(before.find("reports: "), std::string::npos) << before;

    const std::string name33(33, 'n'), password73(73, 'p');
    auto score = [](const std::string& seconds) { return reportQuery("runner", "pw12", seconds); };
    // A GET of report.php, or else the fields of a sign-up form
    const std::vector<std::string> requests = {
        "report.php?username=runner&password=pw12", "report.php?action=delete&username=runner&password=pw12",
        "report.php?action=auth&username=runner", "report.php?action=auth&username[]=runner&password=pw12",
        "report.php?action=report&username=runner&password=pw12", score("fast"), score("-12.5"), score("0"),
        score("1e3"), score("86400"), score("12.5 "), reportQuery(name33, "pw12", "1"),
        // The hash stops reading at a NUL: "pw12\0junk" must be no right password.
        authQuery("runner", std::string("pw12\0junk", 9)), reportQuery("runner", std::string("pw12\0", 5), "12.5"),
        authQuery(std::string("runner\0", 7), "pw12"),
        signUpForm(""), signUpForm(name33), signUpForm("run\x01ner"), signUpForm(" walker"),
        signUpForm("walker", "pw1"), signUpForm("walker", password73), "username=walker&password=pw12",
        "username=walker&password=pw12&password2=pw21",
        // Characters that hide, look like a plain space or turn the text around
        signUpForm("dave\u200b"), signUpForm("frank\u00a0"), signUpForm("\u3000\u3000"), signUpForm("\u200b\u200d"),
        signUpForm("eve\u202eevil"), signUpForm("\ue000x"), signUpForm("line\u2028two"),
    };
    for (const std::string& request : requests) {
        HttpAnswer answer = request.rfind("report.php", 0) == 0 ? server->get(request) : server->post("", request);
        EXPECT_EQ(answer.status, 400) << request << ": " << answer.body;
        EXPECT_FALSE(answer.body.empty()) << request << ": no reason given";
        EXPECT_EQ(server->contents(), before) << request << " changed the store";
    }
    // HEAD neither records nor counts a wrong password.
    for (const std::string& query : {reportQuery("runner", "pw12", "9.5"), authQuery("runner", "wrong")}) {
        EXPECT_EQ(server->get(query, true).status, 200) << query;
        EXPECT_EQ(server->contents(), before) << "HEAD " << query << " changed the store";
    }
}

// One player per name, whatever its case, composition or full folding; typed in the game in Latin-1
// or in a browser in UTF-8. The name keeps the spelling it was signed up with.
TEST_P(ScoreServer, NamesCountAsOnePlayerWhateverTheirCaseCompositionAndEncoding) {
    const std::string password = "p&ss w+rd=\xC3\xA9%20", gamePassword = "p&ss w+rd=\xE9%20";
    const std::vector<std::pair<std::string, std::vector<std::string>>> sameNames = {
        {"runner", {"RUNNER", "Runner"}},
        {"\u00c9mile", {"\u00e9mile", "\u00c9MILE", "E\u0301mile", "\xE9mile"}},
        {"\u03a3\u039f\u03a6\u0399\u0391", {"\u03c3\u03bf\u03c6\u03b9\u03b1"}},
        {"Stra\u00dfe", {"STRASSE", "strasse"}},
        {"Zo\xC3\xAB & Jo+1 <b>", {"Zo\xEB & Jo+1 <b>"}},
    };
    for (const auto& [name, others] : sameNames) {
        ASSERT_EQ(server->signUp(name, password).status, 201) << name;
        for (const std::string& other : others) {
            EXPECT_EQ(server->signUp(other, "pw34").status, 409) << other << " beside " << name;
            EXPECT_EQ(auth(other, gamePassword), "1") << other;
            EXPECT_EQ(auth(other, "p&ss w+rd=\xE9 "), "0") << other << ": %20 in a password decoded twice";
        }
        EXPECT_EQ(report(others.back(), gamePassword, 20000), "time recorded: 20 s for " + name);
    }
    EXPECT_EQ(auth("Emile", password), "0") << "a letter without its accent is another letter";
}

// A store of the first version, where names differing beyond ASCII case were two players: both stay.
TEST_P(ScoreServer, AStoreOfTheFirstVersionKeepsEveryPlayerAndTime) {
    if (GetParam().rfind("postgresql", 0) == 0) GTEST_SKIP() << "the first version kept SQLite stores only";
    const std::string hashOfPw12 = "'$2y$04$aq.y4b39bJMQ/0l1lQR9..cr5wHaewlWayPgtPpx8yGj/f4T8VzY2'";
    ASSERT_EQ(server->sql("CREATE TABLE players (id INTEGER PRIMARY KEY, name TEXT UNIQUE COLLATE NOCASE, "
                          "password_hash TEXT, signed_up_at TEXT); CREATE TABLE reports (id INTEGER PRIMARY KEY, "
                          "player_id INTEGER, seconds REAL, reported_at TEXT); INSERT INTO players VALUES (1, "
                          "'\u00c9mile', " + hashOfPw12 + ", '2024-05-01 10:00:00'), (2, '\u00e9mile', " + hashOfPw12 +
                          ", '2024-05-01 11:00:00'); INSERT INTO reports VALUES (1, 1, 12.5, '2024-05-01 10:05:00'), "
                          "(2, 2, 13.25, '2024-05-01 11:05:00'), (3, 1, 11.5, '2024-05-02 09:00:00'); "
                          "PRAGMA user_version = 1;"),
              "");
    EXPECT_EQ(bestTimes(), "\u00c9mile 11.500 s\n\u00e9mile 13.250 s\n");
    EXPECT_EQ(report("\u00e9mile", "pw12", 13000), "time recorded: 13 s for \u00e9mile");
    EXPECT_EQ(report("\u00c9mile", "pw12", 14000), "time recorded: 14 s for \u00c9mile");
    EXPECT_EQ(auth("\u00c9MILE", "pw12"), "0") << "a third spelling is neither of them";
    EXPECT_EQ(server->signUp("\u00c9MILE", "pw34").status, 409);
    EXPECT_EQ(bestTimes(), "\u00c9mile 11.500 s\n\u00e9mile 13.000 s\n");
}

// Forty wrong passwords at once, half for a player's name in another case, half for nobody's: ten
// of each are checked, the rest refused; then the name answers 429 until its window ends. Right
// passwords never count towards a lock.
TEST_P(ScoreServer, WrongPasswordsLockANameAndSignUpsAreLimitedPerAddress) {
    ASSERT_EQ(server->signUp("runner", "pw12").status, 201);
    ASSERT_EQ(server->signUp("walker", "pw12").status, 201);
    std::atomic<int> checked{0}, refused{0};
    std::vector<std::thread> guesses;
    for (int guess = 0; guess < 40; guess++) {
        guesses.emplace_back([&, guess] {
            HttpAnswer answer = server->get(authQuery(guess % 2 ? "RUNNER" : "nobody", "x" + std::to_string(guess)));
            checked += answer.status == 200 && answer.body == "0";
            refused += answer.status == 429 && answer.body.find("too many wrong passwords") != std::string::npos;
        });
    }
    for (std::thread& guess : guesses) guess.join();
    EXPECT_EQ(checked, 20);
    EXPECT_EQ(refused, 20);
    EXPECT_EQ(server->get(reportQuery("runner", "pw12", "9.5")).status, 429);
    EXPECT_EQ(auth("runner", "pw12"), "") << "the game takes a 429 as a refusal";
    for (int run = 0; run < 12; run++) EXPECT_EQ(report("walker", "pw12", 9500), "time recorded: 9.5 s for walker");
    ASSERT_EQ(server->sql("UPDATE limits SET window_start = window_start - 600"), "");
    EXPECT_EQ(report("runner", "pw12", 9400), "time recorded: 9.4 s for runner") << "the window has ended";
    EXPECT_EQ(bestTimes(), "runner 9.400 s\nwalker 9.500 s\n") << "a refused report was recorded";

    // Two players signed up already from this address: 18 more this hour.
    for (int player = 0; player < 18; player++) {
        ASSERT_EQ(server->signUp("runner" + std::to_string(player), "pw12").status, 201) << player;
    }
    HttpAnswer late = server->signUp("late", "pw12");
    EXPECT_EQ(late.status, 429);
    EXPECT_NE(late.body.find("too many sign-ups from your address"), std::string::npos);
    EXPECT_EQ(auth("late", "pw12"), "0");
}

INSTANTIATE_TEST_SUITE_P(on, ScoreServer, testing::Values("sqlite_php", "sqlite_nginx", "postgresql_nginx"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });
