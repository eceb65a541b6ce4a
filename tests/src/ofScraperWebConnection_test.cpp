// The score server client against a stand-in server on 127.0.0.1, and where the
// game finds that server. No display needed.
#include "loginScreen.h"
#include "ofScraperWebConnection.h"
#include "scoreServerStub.h"
#include "testApp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

std::string hexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// A login screen on a bare application that talks to `base`.
struct Login {
    explicit Login(const std::string& base) {
        app.scoreServer.url = base;
        screen.app = &app;
    }
    testApp app;
    LoginScreen screen;
};

std::string tempPath(const char* name) {
    return "/tmp/stompathon_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace

TEST(ofScraperWebConnection, OnlyABodyOfExactlyOneLogsIn) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    EXPECT_TRUE(Login(server.base("ok")).screen.checkData());
    EXPECT_TRUE(Login(server.base("redirect")).screen.checkData());
    for (const char* kind : {"newline", "zero", "error", "empty"}) {
        EXPECT_FALSE(Login(server.base(kind)).screen.checkData()) << kind;
    }
    EXPECT_FALSE(Login(ScoreServerStub::refusedBase()).screen.checkData());
}

TEST(ofScraperWebConnection, GetStringHoldsOnlyTheLatestAnswer) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    ofScraperWebConnection first;
    ofScraperWebConnection second;
    first.getWebPageAsString(server.base("error"));
    EXPECT_NE(first.getString().find("Internal error"), std::string::npos);
    second.getWebPageAsString(server.base("ok"));
    EXPECT_EQ(first.getString(), "1");      // one answer, shared by every connection
    first.getWebPageAsString(server.base("empty"));
    EXPECT_EQ(second.getString(), "");
    first.getWebPageAsString(server.base("ok"));
    first.getWebPageAsString(ScoreServerStub::refusedBase());
    EXPECT_EQ(first.getString(), "");
}

TEST(ofScraperWebConnection, AServerThatNeverAnswersTimesOut) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    ofScraperWebConnection web;
    web.getWebPageAsString(server.base("ok"));
    ofScraperWebConnection::setTimeouts(500, 1000);
    auto start = std::chrono::steady_clock::now();
    web.getWebPageAsString(server.base("hang"));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ofScraperWebConnection::setTimeouts(15000, 45000);
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(web.getString(), "");
}

TEST(ofScraperWebConnection, ValuesReachTheServerExactlyAsTyped) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    const std::string name = "a&b c#d+e=f%g/h?\xc3\xa9\xff";
    const std::string password = "p&password=x y#+\x01\x80";
    ofScraperWebConnection web;

    web.getWebPageAsString(scoreServerAuthUrl(server.base("echo"), name, password));
    EXPECT_EQ(web.getString(), "action=" + hexOf("auth") + ";username=" + hexOf(name) + ";password=" + hexOf(password));

    web.getWebPageAsString(scoreServerAuthUrl(server.base("echo"), "", ""));
    EXPECT_EQ(web.getString(), "action=" + hexOf("auth") + ";username=;password=");

    web.getWebPageAsString(scoreServerReportUrl(server.base("echo"), name, password, 12345));
    EXPECT_EQ(web.getString(), "action=" + hexOf("report") + ";username=" + hexOf(name) +
                                   ";password=" + hexOf(password) + ";score=" + hexOf("12.345"));
}

TEST(ofScraperWebConnection, ReportCarriesTheTimeInSecondsAsAFloatPrints) {
    const std::string prefix = "http://h/report.php?action=report&username=u&password=p&score=";
    EXPECT_EQ(scoreServerReportUrl("http://h/", "u", "p", 12345), prefix + "12.345");
    EXPECT_EQ(scoreServerReportUrl("http://h/", "u", "p", 9000), prefix + "9");
    EXPECT_EQ(scoreServerReportUrl("http://h/", "u", "p", 1234567), prefix + "1234.57");
    EXPECT_EQ(scoreServerReportUrl("http://h/", "u", "p", 50), prefix + "0.05");
    EXPECT_EQ(scoreServerAuthUrl("http://h/", "u", "p"), "http://h/report.php?action=auth&username=u&password=p");
}

TEST(ofScraperWebConnection, FileFetchWritesTheBodyAndNeverAnUnopenedFile) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    ofScraperWebConnection web;
    std::string path = tempPath("fetched");
    web.getWebPageToFile(server.base("ok"), path);
    std::ifstream in(path);
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(body, "1");
    std::remove(path.c_str());

    // Fails on HTTP errors: the error page is not written.
    web.getWebPageToFile(server.base("error"), path);
    std::ifstream failed(path, std::ios::ate);
    EXPECT_EQ(failed.tellg(), 0);
    std::remove(path.c_str());

    size_t before = server.requests().size();
    web.getWebPageToFile(server.base("ok"), "/nonexistent-dir/fetched");
    EXPECT_EQ(access("/nonexistent-dir/fetched", F_OK), -1);
    EXPECT_EQ(server.requests().size(), before);
}

TEST(ScoreServerSettings, DefaultsWithoutTheFileAndPerMissingKey) {
    ScoreServerSettings missing;
    EXPECT_FALSE(missing.load(tempPath("no_server.xml")));
    EXPECT_EQ(missing.url, "http://localhost:8000/");
    EXPECT_EQ(missing.signupUrl, "http://localhost:8000/");

    std::string path = tempPath("server.xml");
    std::ofstream(path) << "<SERVER><URL>http://scores.example.org/game/</URL></SERVER>\n";
    ScoreServerSettings partial;
    EXPECT_TRUE(partial.load(path));
    EXPECT_EQ(partial.url, "http://scores.example.org/game/");
    EXPECT_EQ(partial.signupUrl, "http://localhost:8000/");

    std::ofstream(path) << "<SERVER><URL>http://a/</URL><SIGNUP>http://b.example.org:81/join</SIGNUP></SERVER>\n";
    ScoreServerSettings both;
    EXPECT_TRUE(both.load(path));
    EXPECT_EQ(both.url, "http://a/");
    EXPECT_EQ(both.signupUrl, "http://b.example.org:81/join");
    std::remove(path.c_str());
}

TEST(ScoreServerSettings, SignUpLineShowsTheHostName) {
    EXPECT_EQ(hostOf("http://localhost:8000/"), "localhost");
    EXPECT_EQ(hostOf("http://b.example.org:81/join"), "b.example.org");
    EXPECT_EQ(hostOf("http://scores.example.org"), "scores.example.org");
    EXPECT_EQ(hostOf("http://scores.example.org?x=1"), "scores.example.org");
}

TEST(testApp, QuitCodeEndsTheProcessWithStatusZero) {
    testApp app;
    EXPECT_EXIT(app.switchFromState(nullptr, SwitchCode::quit), ::testing::ExitedWithCode(0), "");
}
