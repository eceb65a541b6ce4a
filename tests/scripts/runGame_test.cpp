// scripts/run-game.sh, which `make run` uses: the score server runs beside the
// game when the game is set to a server on this machine that nobody runs yet,
// and stops when the game ends. A stand-in game (a shell script in a scratch
// build folder) asks the server once and ends with a status of its own.
#include "commandOutput.h"
#include "localScoreServer.h"
#include "loopback.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs the script in a repository-like folder whose data/server.xml names
// `serverUrl`; the stand-in game asks `askedPort` and exits with 7. The
// script's output, its exit status in `status`, and whether the database given
// to the server was made.
std::string runGame(const std::string& serverUrl, int askedPort, int& status, bool& databaseMade) {
    ScratchFolder folder("stompathon-run-game");
    mkdir(folder.file("data").c_str(), 0755);
    mkdir(folder.file("build").c_str(), 0755);
    std::ofstream(folder.file("data/server.xml")) << "<SERVER>\n    <URL>" << serverUrl << "</URL>\n</SERVER>\n";
    symlink(SOURCE_DIR "/server", folder.file("server").c_str());
    std::ofstream(folder.file("build/stompathon"))
        << "#!/bin/sh\nphp -r 'echo \"answer: \", @file_get_contents(\"http://127.0.0.1:" << askedPort
        << "/report.php?action=auth&username=runner&password=pw12\"), \"\\n\";'\nexit 7\n";
    chmod(folder.file("build/stompathon").c_str(), 0755);
    std::string output = commandOutput("cd '" + folder.path() + "' && STOMPATHON_SCORES_DB='" +
                                       folder.file("scores.sqlite") + "' timeout 30 sh " SOURCE_DIR
                                       "/scripts/run-game.sh build 2>&1", &status);
    databaseMade = access(folder.file("scores.sqlite").c_str(), F_OK) == 0;
    return output;
}

}  // namespace

// A local address nobody serves gets the project's server until the game ends; a
// server that answers already is used and left alone; a server elsewhere, or
// under a path the local one does not serve, is the game's business only.
TEST(runGame, StartsTheScoreServerBesideTheGameOnlyWhenItShouldRunHere) {
    LocalScoreServer running;
    ASSERT_TRUE(running.running());
    ASSERT_EQ(running.signUp("runner", "pw12").status, 201);
    int free = freeLoopbackPort();
    const std::string freePort = std::to_string(free);
    struct Case {
        std::string url;
        int askedPort;
        std::string answer;
        bool databaseMade;
    };
    const Case cases[] = {{"http://localhost:" + freePort + "/", free, "answer: 0\n", true},
                          {running.base(), running.portNumber(), "answer: 1\n", false},
                          {"http://scores.example.test:" + freePort + "/", free, "answer: \n", false},
                          {"http://localhost:" + freePort + "/stompathon/", free, "answer: \n", false}};
    for (const Case& c : cases) {
        int status = -1;
        bool databaseMade = !c.databaseMade;
        std::string output = runGame(c.url, c.askedPort, status, databaseMade);
        EXPECT_NE(output.find(c.answer), std::string::npos) << c.url << ":\n" << output;
        EXPECT_EQ(status, 7) << c.url;
        EXPECT_EQ(databaseMade, c.databaseMade) << c.url;
        EXPECT_FALSE(loopbackAccepts(free)) << "the server outlived the game";
    }
    EXPECT_TRUE(loopbackAccepts(running.portNumber())) << "the running server was stopped";
}
