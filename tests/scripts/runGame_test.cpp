// scripts/run-game.sh, which `make run` uses, with a stand-in game (a shell script
// in a scratch build folder) that asks the server once and ends with a status of its own.
#include "commandOutput.h"
#include "localScoreServer.h"
#include "loopback.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs the script in a repository-like folder whose data/server.xml names `serverUrl`, with
// a database file holding `store`; the stand-in game asks `askedPort` and exits with 7.
// The script's output and the server's log; its exit status in `status`.
std::string runGame(const std::string& serverUrl, int askedPort, int& status, const std::string& store) {
    ScratchFolder folder("stompathon-run-game");
    std::ofstream(folder.file("scores.sqlite")) << store;   // SQLite takes an empty file as an empty store
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
    return output + readFile(folder.file("build/score-server.log"));
}

}  // namespace

// A local address nobody serves gets the project's server until the game ends, its
// errors (a store that fails) in the log it names; a server that answers already is
// used and left alone; a server elsewhere, or under a path the local one does not
// serve, is the game's business only. No output or log ever holds a password.
TEST(runGame, StartsTheScoreServerBesideTheGameOnlyWhenItShouldRunHere) {
    LocalScoreServer running;
    ASSERT_TRUE(running.running());
    ASSERT_EQ(running.signUp("runner", "pw12").status, 201);
    int free = freeLoopbackPort();
    const std::string local = "http://localhost:" + std::to_string(free) + "/";
    const std::string elsewhere = "http://scores.example.test:" + std::to_string(free) + "/";
    struct Case {
        std::string url, store;
        int askedPort;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {local, "", free, {"/build/score-server.log, players in ", "scores.sqlite)\nanswer: 0\n"}},
        {local, "no database", free, {"scores.sqlite)\nanswer: \n", "file is not a database"}},
        {running.base(), "", running.portNumber(), {"already answers at " + running.base() + "\nanswer: 1\n"}},
        {elsewhere, "", free, {"score server: " + elsewhere + "\nanswer: \n"}},
        {local + "stompathon/", "", free, {"score server: " + local + "stompathon/\nanswer: \n"}}};
    for (const Case& c : cases) {
        int status = -1;
        std::string output = runGame(c.url, c.askedPort, status, c.store);
        for (const std::string& line : c.lines) {
            EXPECT_NE(output.find(line), std::string::npos) << line << " in\n" << output;
        }
        EXPECT_EQ(output.find("pw12"), std::string::npos) << output;
        EXPECT_EQ(status, 7) << c.url;
        EXPECT_FALSE(loopbackAccepts(free)) << "the server outlived the game";
    }
    EXPECT_TRUE(loopbackAccepts(running.portNumber())) << "the running server was stopped";
}
