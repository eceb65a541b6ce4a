#include "ofUtils.h"
#include "commandOutput.h"
#include "scratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(ofUtils, DataPathPrefixesNamesNotAlreadyUnderData) {
    EXPECT_EQ(ofToDataPath("vag.ttf"), "data/vag.ttf");
    EXPECT_EQ(ofToDataPath("database/data/x"), "data/database/data/x");
    EXPECT_EQ(ofToDataPath("data/vag.ttf"), "data/vag.ttf");
    EXPECT_EQ(ofToDataPath("/tmp/x"), "/tmp/x");
}

// A stand-in xdg-open first on PATH writes its argument down, lingers as a real one does, then says so.
TEST(ofUtils, StartingProgramsDetached) {
    ScratchFolder folder;
    std::string urls = folder.file("urls");
    std::ofstream(folder.file("xdg-open")) << "#!/bin/sh\necho \"$1\" >>" << urls << "\nsleep 2\necho late >>" << urls;
    commandOutput("chmod +x " + folder.file("xdg-open"));
    setenv("PATH", (folder.path() + ":" + std::getenv("PATH")).c_str(), 1);
    testing::internal::CaptureStdout();
    ofLaunchBrowser("https://example.invalid/");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ofLaunchBrowser: url must begin http://\n");
    std::string url = "http://127.0.0.1/signup.php?a=1&b=two words;$(touch x)";
    ofLaunchBrowser(url);
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the handler, or a zombie, is still our child";
    std::string written = commandOutput("timeout 5 sh -c 'until [ -s " + urls + " ]; do sleep 0.1; done'; cat " + urls);
    EXPECT_EQ(written, url + "\n") << "one argument untouched by a shell, at once, and nothing for the refused one";
    EXPECT_TRUE(ofStartDetached({"true"}));
    EXPECT_FALSE(ofStartDetached({"no-such-program-anywhere"}));
    EXPECT_FALSE(ofStartDetached({}));
    if (geteuid() != 0) GTEST_SKIP() << "only root can run a child as a user allowed two processes";
    rlimit two = {2, 2};  // this child and the intermediate one: the fork of the program fails
    EXPECT_EXIT(_exit(setuid(65534) == 0 && setrlimit(RLIMIT_NPROC, &two) == 0 && !ofStartDetached({"true"}) ? 0 : 1),
                testing::ExitedWithCode(0), "") << "a program whose fork failed was reported as started";
}
