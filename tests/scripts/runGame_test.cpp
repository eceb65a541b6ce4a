// scripts/run-game.sh, which `make run` uses: the score server runs beside the
// game when the game is set to a server on this machine that nobody runs yet,
// and stops when the game ends. A stand-in game (a shell script in a scratch
// build folder) asks the server once and ends with a status of its own.
#include "commandOutput.h"
#include "localScoreServer.h"
#include "loopback.h"
#include "scratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int gameStatus = 7;

// A repository-like folder for the script to run in: data/server.xml naming
// `serverUrl`, server/ of the real repository, and a stand-in game in build/.
class GameFolder {
public:
    GameFolder(const std::string& serverUrl, int askedPort) {
        mkdir(scratch.file("data").c_str(), 0755);
        mkdir(scratch.file("build").c_str(), 0755);
        std::ofstream(scratch.file("data/server.xml")) << "<SERVER>\n    <URL>" << serverUrl << "</URL>\n</SERVER>\n";
        symlink(SOURCE_DIR "/server", scratch.file("server").c_str());
        std::ofstream(scratch.file("build/stompathon"))
            << "#!/bin/sh\nphp -r 'echo \"answer: \", @file_get_contents(\"http://127.0.0.1:" << askedPort
            << "/report.php?action=auth&username=runner&password=pw12\"), \"\\n\";'\nexit " << gameStatus << "\n";
        chmod(scratch.file("build/stompathon").c_str(), 0755);
    }

    // Runs the script to its end; its output, and its exit status in `status`.
    std::string run(int& status) {
        std::string command = "cd '" + scratch.path() + "' && STOMPATHON_SCORES_DB='" + database() +
                              "' timeout 30 sh " SOURCE_DIR "/scripts/run-game.sh build 2>&1";
        return commandOutput(command, &status);
    }

    std::string database() const { return scratch.file("scores.sqlite"); }

private:
    ScratchFolder scratch{"stompathon-run-game"};
};

}  // namespace

TEST(runGame, StartsTheScoreServerBesideTheGameAndStopsItAfter) {
    int port = freeLoopbackPort();
    ASSERT_NE(port, 0);
    GameFolder folder("http://localhost:" + std::to_string(port) + "/", port);
    int status = -1;
    std::string output = folder.run(status);
    EXPECT_NE(output.find("answer: 0\n"), std::string::npos) << "the game found no server:\n" << output;
    EXPECT_EQ(status, gameStatus) << output;
    EXPECT_FALSE(loopbackAccepts(port)) << "the server outlived the game";
    EXPECT_EQ(access(folder.database().c_str(), F_OK), 0) << "the server did not use the database it was given";
}

TEST(runGame, LeavesAServerThatAlreadyAnswersAlone) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(server.signUp("runner", "pw12").status, 201);
    int port = std::stoi(server.base().substr(server.base().rfind(':') + 1));
    GameFolder folder("http://127.0.0.1:" + std::to_string(port) + "/", port);
    int status = -1;
    std::string output = folder.run(status);
    EXPECT_NE(output.find("answer: 1\n"), std::string::npos) << "the game did not reach the running server:\n" << output;
    EXPECT_EQ(status, gameStatus);
    EXPECT_TRUE(loopbackAccepts(port)) << "the running server was stopped";
    EXPECT_NE(access(folder.database().c_str(), F_OK), 0) << "a second server was started";
}

// A server elsewhere, or under a path the local one does not serve, is the
// game's business only.
TEST(runGame, StartsNoServerForAnotherAddress) {
    int port = freeLoopbackPort();
    for (std::string url : {"http://scores.example.test:" + std::to_string(port) + "/",
                            "http://localhost:" + std::to_string(port) + "/stompathon/"}) {
        GameFolder folder(url, port);
        int status = -1;
        std::string output = folder.run(status);
        EXPECT_NE(output.find("answer: \n"), std::string::npos) << url << ":\n" << output;
        EXPECT_EQ(status, gameStatus);
    }
}
