// The score server client, and where the game finds the server.
#include "loopback.h"
#include "ofScraperWebConnection.h"
#include "scratchFolder.h"
#include "gameStateObject.h"
#include "testApp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

TEST(ofScraperWebConnection, RequestsCarryEveryValueExactlyAsTyped) {
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1");
    fetchAnswer(scoreServerAuthUrl(server.base(), "a&b c#d+e=f%g/h?\xc3\xa9\xff", "p&password=x y"));
    fetchAnswer(scoreServerReportUrl(server.base(), "", "~-._", 12345));
    EXPECT_EQ(server.requestLines(),
              (std::vector<std::string>{
                  "GET /report.php?action=auth&username=a%26b%20c%23d%2Be%3Df%25g%2Fh%3F%C3%A9%FF"
                  "&password=p%26password%3Dx%20y HTTP/1.1",
                  "GET /report.php?action=report&username=&password=~-._&score=12.345 HTTP/1.1"}));
}

TEST(ofScraperWebConnection, OneAnswerSharedByEveryConnectionAndNoneFromAServerThatFailsOrIsGone) {
    CannedServer one("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1");
    CannedServer two("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo");
    CannedServer oops("HTTP/1.1 500 Oops\r\nContent-Length: 1\r\n\r\n1");
    ofScraperWebConnection first, second;
    first.getWebPageAsString(one.base());
    second.getWebPageAsString(two.base());
    EXPECT_EQ(first.getString(), "two");
    for (const std::string& url : {oops.base(), "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/"}) {
        second.getWebPageAsString(two.base());
        first.getWebPageAsString(url);
        EXPECT_EQ(second.getString(), "") << url;
    }
}

// A hostile server gets no more than a well-behaved one: 64 KiB of an answer,
// three redirects within the server itself, a few seconds of silence.
TEST(ofScraperWebConnection, AnswersCountOnlyWithinLimitsFromTheServerAsked) {
    CannedServer flood("HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + std::string(1 << 20, 'x'));
    WebAnswer answer = fetchAnswer(flood.base());
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, std::string(64 * 1024, 'x'));
    CannedServer oops("HTTP/1.1 500 Oops\r\nContent-Length: 1\r\n\r\n1");
    EXPECT_EQ(fetchAnswer(oops.base()).status, 500);

    const std::string found = "HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: ";
    CannedServer loop(found + "/again\r\n\r\n");
    EXPECT_EQ(fetchAnswer(loop.base()).status, 0);
    EXPECT_EQ(loop.requestLines().size(), 4u) << "the request and three redirects";
    CannedServer elsewhere(found + oops.base() + "\r\n\r\n");
    EXPECT_EQ(fetchAnswer(elsewhere.base()).status, 0);
    EXPECT_EQ(oops.requestLines().size(), 1u) << "another port is another server";

    CannedServer silent("");
    ofScraperWebConnection::setTimeouts(500, 1000);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetchAnswer(silent.base()).status, 0);
    ofScraperWebConnection::setTimeouts(15000, 45000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    EXPECT_EQ(printableAnswer("\x1b[2Jred\r\n" + std::string(300, 'a')), "?[2Jred??" + std::string(191, 'a'));
}

TEST(ofScraperWebConnection, FileFetchReplacesTheFileOnlyWhenTheTransferSucceeds) {
    CannedServer good("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfresh");
    CannedServer bad("HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops");
    ScratchFolder folder;
    const std::string file = folder.file("fetched");
    std::ofstream(file) << "kept";
    ofScraperWebConnection web;
    web.getWebPageToFile(bad.base(), file);
    web.getWebPageToFile("http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/", file);
    EXPECT_EQ(readFile(file), "kept");
    web.getWebPageToFile(good.base(), file);
    EXPECT_EQ(readFile(file), "fresh");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "nothing left beside it";
}

TEST(ScoreServerSettings, EachMissingOrForeignKeyKeepsTheDefault) {
    ScratchFolder folder;
    const std::string file = folder.file("server.xml");
    ScoreServerSettings none;
    EXPECT_FALSE(none.load(file));
    const char* const files[][3] = {
        {"<URL>https://s.example.org/game/</URL>", "https://s.example.org/game/ http://localhost:8000/", ""},
        {"<SIGNUP>http://b.example.org:81/join</SIGNUP>", "http://localhost:8000/ http://b.example.org:81/join", ""},
        {"<URL>file:///etc/</URL><SIGNUP>https://x/</SIGNUP>", "http://localhost:8000/ http://localhost:8000/",
         "server.xml: URL must begin with http:// or https:// - using http://localhost:8000/ instead\n"
         "server.xml: SIGNUP must begin with http:// - using http://localhost:8000/ instead\n"}};
    for (auto [keys, urls, said] : files) {
        std::ofstream(file) << "<SERVER>" << keys << "</SERVER>\n";
        ScoreServerSettings settings;
        testing::internal::CaptureStdout();
        EXPECT_TRUE(settings.load(file));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), said);
        EXPECT_EQ(settings.url + " " + settings.signupUrl, urls) << keys;
    }
    for (const char* url : {"http://b.example.org:81/join", "http://b.example.org", "http://b.example.org?x=1"}) {
        EXPECT_EQ(hostOf(url), "b.example.org") << url;
    }
}

TEST(testApp, QuitCodeEndsTheProcessWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");     // a fresh process, with no window of ours
    testApp app;
    EXPECT_EXIT(app.switchFromState(nullptr, SwitchCode::quit), ::testing::ExitedWithCode(0), "");
}
