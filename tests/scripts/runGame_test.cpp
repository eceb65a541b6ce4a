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

TEST(runGame, StartsTheScoreServerBesideTheGameAndStopsItAfter) {
    int port = freeLoopbackPort(), status = -1;
    bool databaseMade = false;
    std::string output = runGame("http://localhost:" + std::to_string(port) + "/", port, status, databaseMade);
    EXPECT_NE(output.find("answer: 0\n"), std::string::npos) << "the game found no server:\n" << output;
    EXPECT_EQ(status, 7) << output;
    EXPECT_FALSE(loopbackAccepts(port)) << "the server outlived the game";
    EXPECT_TRUE(databaseMade) << "the server did not use the database it was given";
}

TEST(runGame, LeavesAServerThatAlreadyAnswersAlone) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(server.signUp("runner", "pw12").status, 201);
    int status = -1;
    bool databaseMade = false;
    std::string output = runGame(server.base(), server.portNumber(), status, databaseMade);
    EXPECT_NE(output.find("answer: 1\n"), std::string::npos) << "the game did not reach the running server:\n" << output;
    EXPECT_EQ(status, 7);
    EXPECT_TRUE(loopbackAccepts(server.portNumber())) << "the running server was stopped";
    EXPECT_FALSE(databaseMade) << "a second server was started";
}

// A server elsewhere, or under a path the local one does not serve, is the game's business only.
TEST(runGame, StartsNoServerForAnotherAddress) {
    int port = freeLoopbackPort();
    for (std::string url : {"http://scores.example.test:" + std::to_string(port) + "/",
                            "http://localhost:" + std::to_string(port) + "/stompathon/"}) {
        int status = -1;
        bool databaseMade = true;
        std::string output = runGame(url, port, status, databaseMade);
        EXPECT_NE(output.find("answer: \n"), std::string::npos) << url << ":\n" << output;
        EXPECT_EQ(status, 7);
        EXPECT_FALSE(databaseMade);
    }
}
