#include "ofUtils.h"
#include "scratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

TEST(ofUtils, DataPathPrefixesOnlyRelativeNamesOutsideData) {
    EXPECT_EQ(ofToDataPath("vag.ttf"), "data/vag.ttf");
    EXPECT_EQ(ofToDataPath("data/vag.ttf"), "data/vag.ttf");
    EXPECT_EQ(ofToDataPath("/tmp/x"), "/tmp/x");
    EXPECT_EQ(ofToDataPath(""), "data/");
    EXPECT_EQ(ofToDataPath("data"), "data/data");
    EXPECT_EQ(ofToDataPath("dat"), "data/dat");
    EXPECT_EQ(ofToDataPath("C:\\x.png"), "data/C:\\x.png");
    EXPECT_EQ(ofToDataPath("./data/x"), "data/./data/x");
}

TEST(ofUtils, ToStringFixedPointAndIntegers) {
    EXPECT_EQ(ofToString(-3), "-3");
    EXPECT_EQ(ofToString(0), "0");
    EXPECT_EQ(ofToString(0.5, 3), "0.500");
    EXPECT_EQ(ofToString(123.456, 2), "123.46");
    EXPECT_EQ(ofToString(-2.25, 1), "-2.2");
    EXPECT_EQ(ofToString(7.0, 0), "7");
    EXPECT_EQ(ofToString(1e6, 1), "1000000.0");
}

TEST(ofUtils, FrameNumberIsWhatTheRunnerLastSet) {
    setFrameNum(0);
    EXPECT_EQ(ofGetFrameNum(), 0);
    setFrameNum(41);
    EXPECT_EQ(ofGetFrameNum(), 41);
    setFrameNum(0);
}

TEST(ofUtils, ElapsedTimeStartsAtTheResetAndGrows) {
    ofResetElapsedTimeCounter();
    int start = ofGetElapsedTimeMillis();
    EXPECT_GE(start, 0);
    EXPECT_LT(start, 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int later = ofGetElapsedTimeMillis();
    EXPECT_GE(later - start, 30);
    EXPECT_NEAR(ofGetElapsedTimef(), ofGetElapsedTimeMillis() / 1000.0f, 0.002f);
}

TEST(ofUtils, TimeOfDayFieldsAreInRange) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_NEAR(ofGetYear(), local.tm_year + 1900, 1);
    EXPECT_GE(ofGetMonth(), 1);
    EXPECT_LE(ofGetMonth(), 12);
    EXPECT_GE(ofGetDay(), 1);
    EXPECT_LE(ofGetDay(), 31);
    EXPECT_GE(ofGetWeekday(), 0);
    EXPECT_LE(ofGetWeekday(), 6);
    EXPECT_GE(ofGetHours(), 0);
    EXPECT_LE(ofGetHours(), 23);
    EXPECT_GE(ofGetMinutes(), 0);
    EXPECT_LE(ofGetMinutes(), 59);
    EXPECT_GE(ofGetSeconds(), 0);
    EXPECT_LE(ofGetSeconds(), 60);
}

TEST(ofUtils, VersionInfoIsOneLine) {
    std::string banner = ofGetVersionInfo();
    ASSERT_FALSE(banner.empty());
    EXPECT_EQ(banner.back(), '\n');
    EXPECT_EQ(banner.find('\n'), banner.size() - 1);
}

// ofLaunchBrowser is tested against a stand-in "xdg-open" first on PATH that
// records its argument and then lingers, as a real handler does while the
// browser runs.
class ofLaunchBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        record = folder + "/argument";
        std::ofstream script(folder + "/xdg-open");
        script << "#!/bin/sh\nprintf '%s' \"$1\" > " << record << ".part\n"
               << "mv " << record << ".part " << record << "\nsleep 3\n";
        script.close();
        chmod((folder + "/xdg-open").c_str(), 0755);
        const char* path = std::getenv("PATH");
        savedPath = path ? path : "";
        setenv("PATH", (folder + ":" + savedPath).c_str(), 1);
    }

    void TearDown() override {
        setenv("PATH", savedPath.c_str(), 1);
    }

    // The recorded argument, or "" if none arrived within the wait.
    std::string waitForRecord(int millis) {
        for (int waited = 0; waited < millis; waited += 20) {
            std::ifstream in(record);
            if (in) {
                std::stringstream content;
                content << in.rdbuf();
                return content.str();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return "";
    }

    // Children of this process, and how many of them are zombies.
    static int countChildren(int& zombies) {
        int children = 0;
        zombies = 0;
        DIR* proc = opendir("/proc");
        while (dirent* entry = readdir(proc)) {
            std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
            std::string line;
            if (!std::getline(stat, line)) continue;
            // Fields after the parenthesised command: state, then parent pid.
            std::istringstream rest(line.substr(line.rfind(')') + 2));
            char state = 0;
            int parent = 0;
            rest >> state >> parent;
            if (parent == getpid()) {
                children++;
                zombies += state == 'Z' ? 1 : 0;
            }
        }
        closedir(proc);
        return children;
    }

    ScratchFolder scratch{"launch-browser"};
    std::string folder = scratch.path();
    std::string record;
    std::string savedPath;
};

TEST_F(ofLaunchBrowserTest, HandsTheUrlOverAndReturnsAtOnceWithoutZombies) {
    std::string url = "http://127.0.0.1:8080/signup.php?a=1&b=two words;$(touch x)";
    auto start = std::chrono::steady_clock::now();
    ofLaunchBrowser(url);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 1500)
        << "must not wait for the handler, which lingers 3 s";

    EXPECT_EQ(waitForRecord(5000), url) << "one argument, untouched by any shell";
    int zombies = 0;
    EXPECT_EQ(countChildren(zombies), 0) << "the handler must not stay our child";
    EXPECT_EQ(zombies, 0);
}

TEST_F(ofLaunchBrowserTest, RefusesUrlsNotBeginningWithHttp) {
    for (std::string url : {"https://example.invalid/", "file:///etc/passwd", "HTTP://x", ""}) {
        testing::internal::CaptureStdout();
        ofLaunchBrowser(url);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "ofLaunchBrowser: url must begin http://\n");
    }
    EXPECT_EQ(waitForRecord(300), "") << "nothing may be opened";
}

TEST_F(ofLaunchBrowserTest, StartingAProgramReportsWhetherItRan) {
    EXPECT_TRUE(ofStartDetached({"xdg-open", "http://127.0.0.1/"}));
    EXPECT_EQ(waitForRecord(5000), "http://127.0.0.1/");
    EXPECT_FALSE(ofStartDetached({"no-such-program-anywhere", "x"}));
    EXPECT_FALSE(ofStartDetached({}));
    int zombies = 0;
    EXPECT_EQ(countChildren(zombies), 0);
}
