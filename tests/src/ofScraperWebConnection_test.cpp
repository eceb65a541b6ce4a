// The score server client, and where the game finds the server.
#include "loopback.h"
#include "ofScraperWebConnection.h"
#include "scratchFolder.h"
#include "gameStateObject.h"
#include "testApp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

TEST(ofScraperWebConnection, RequestsCarryEveryValueExactlyAsTyped) {
    CannedServer server("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1");
    ofScraperWebConnection web;
    web.getWebPageAsString(scoreServerAuthUrl(server.base(), "a&b c#d+e=f%g/h?\xc3\xa9\xff", "p&password=x y"));
    web.getWebPageAsString(scoreServerReportUrl(server.base(), "", "~-._", 12345));
    EXPECT_EQ(server.requestLines(),
              (std::vector<std::string>{
                  "GET /report.php?action=auth&username=a%26b%20c%23d%2Be%3Df%25g%2Fh%3F%C3%A9%FF"
                  "&password=p%26password%3Dx%20y HTTP/1.1",
                  "GET /report.php?action=report&username=&password=~-._&score=12.345 HTTP/1.1"}));
    // The time in seconds as a stream writes a float.
    const std::pair<int, const char*> scores[] = {{9000, "9"}, {1234567, "1234.57"}, {50, "0.05"}};
    for (auto [ms, text] : scores) {
        EXPECT_EQ(scoreServerReportUrl("http://h/", "u", "p", ms),
                  std::string("http://h/report.php?action=report&username=u&password=p&score=") + text);
    }
}

TEST(ofScraperWebConnection, OneAnswerSharedByEveryConnectionAndNoneFromAServerThatIsGone) {
    CannedServer one("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1");
    CannedServer two("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo");
    ofScraperWebConnection first, second;
    first.getWebPageAsString(one.base());
    second.getWebPageAsString(two.base());
    EXPECT_EQ(first.getString(), "two");
    first.getWebPageAsString("http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/");
    EXPECT_EQ(second.getString(), "");
}

// A hostile server gets no more than a well-behaved one: 64 KiB of an answer,
// nothing for a status other than 200, three redirects within the server itself.
TEST(ofScraperWebConnection, AnswersCountOnlyWhole200sWithinLimitsFromTheServerAsked) {
    CannedServer flood("HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n" + std::string(1 << 20, 'x'));
    WebAnswer answer = fetchAnswer(flood.base());
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, std::string(64 * 1024, 'x'));

    CannedServer failing("HTTP/1.1 500 Oops\r\nContent-Length: 1\r\n\r\n1");
    ofScraperWebConnection web;
    web.getWebPageAsString(failing.base());
    EXPECT_EQ(web.getString(), "");
    EXPECT_EQ(fetchAnswer(failing.base()).status, 500);

    const std::string found = "HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: ";
    CannedServer twice({found + "/1\r\n\r\n", found + "/2\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"});
    EXPECT_EQ(fetchAnswer(twice.base()).body, "ok");
    CannedServer loop(found + "/again\r\n\r\n");
    EXPECT_EQ(fetchAnswer(loop.base()).status, 0);
    EXPECT_EQ(loop.requestLines().size(), 4u) << "the request and three redirects";
    CannedServer elsewhere(found + failing.base() + "\r\n\r\n");
    EXPECT_EQ(fetchAnswer(elsewhere.base()).status, 0);
    EXPECT_EQ(failing.requestLines().size(), 2u) << "another port is another server";

    EXPECT_EQ(printableAnswer("\x1b[2Jred\r\n" + std::string(300, 'a')), "?[2Jred??" + std::string(191, 'a'));
}

TEST(ofScraperWebConnection, AServerThatNeverAnswersTimesOut) {
    CannedServer silent("");
    ofScraperWebConnection web;
    ofScraperWebConnection::setTimeouts(500, 1000);
    auto start = std::chrono::steady_clock::now();
    web.getWebPageAsString(silent.base());
    ofScraperWebConnection::setTimeouts(15000, 45000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(silent.requestLines().size(), 1u);
    EXPECT_EQ(web.getString(), "");
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

    testing::internal::CaptureStdout();
    web.getWebPageToFile(good.base(), folder.file("no/such/folder"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ofScraperWebConnection: cannot open " + folder.file("no/such/folder") + " for writing\n");
    EXPECT_EQ(good.requestLines().size(), 1u) << "nothing is asked for a file that cannot be written";
}

TEST(ScoreServerSettings, EachMissingKeyKeepsItsDefaultAndTheSignUpLineShowsTheHost) {
    ScratchFolder folder;
    ScoreServerSettings missing;
    EXPECT_FALSE(missing.load(folder.file("server.xml")));
    EXPECT_EQ(missing.url + " " + missing.signupUrl, "http://localhost:8000/ http://localhost:8000/");
    std::ofstream(folder.file("server.xml")) << "<SERVER><URL>http://scores.example.org/game/</URL></SERVER>\n";
    ScoreServerSettings partial;
    EXPECT_TRUE(partial.load(folder.file("server.xml")));
    EXPECT_EQ(partial.url + " " + partial.signupUrl, "http://scores.example.org/game/ http://localhost:8000/");
    std::ofstream(folder.file("server.xml")) << "<SERVER><SIGNUP>http://b.example.org:81/join</SIGNUP></SERVER>\n";
    ScoreServerSettings signup;
    EXPECT_TRUE(signup.load(folder.file("server.xml")));
    EXPECT_EQ(signup.url + " " + signup.signupUrl, "http://localhost:8000/ http://b.example.org:81/join");
    std::ofstream(folder.file("server.xml")) << "<SERVER><URL>file:///etc/</URL><SIGNUP>https://x/</SIGNUP></SERVER>";
    ScoreServerSettings other;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(other.load(folder.file("server.xml")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "server.xml: URL must begin with http:// or https:// - using http://localhost:8000/ instead\n"
              "server.xml: SIGNUP must begin with http:// - using http://localhost:8000/ instead\n");
    EXPECT_EQ(other.url + " " + other.signupUrl, "http://localhost:8000/ http://localhost:8000/");

    for (const char* url : {"http://b.example.org:81/join", "http://b.example.org", "http://b.example.org?x=1"}) {
        EXPECT_EQ(hostOf(url), "b.example.org") << url;
    }
}

TEST(testApp, QuitCodeEndsTheProcessWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");     // a fresh process, with no window of ours
    testApp app;
    EXPECT_EXIT(app.switchFromState(nullptr, SwitchCode::quit), ::testing::ExitedWithCode(0), "");
}
