// The real game end to end, through its menus: login and sign-up against the
// stand-in score server, and the exit entry. gameUnderX.h runs the game and
// reads its window.
#include "gameUnderX.h"
#include "scoreServerStub.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace {

// The game's window once its menu is drawn: the yellow title and, further down
// (a frame may reach the screen in strips), "Compete" in white; 0 after 10 s.
unsigned long menuWindow() {
    unsigned long window = 0;
    waitFor([&] {
        return (window = gameWindow()) != 0 && countIn(window, isYellow, titleBox) > 100 &&
               countIn(window, isWhite, competeBox) > 30;
    }, 10000);
    return window;
}

}  // namespace

TEST(stompathon, MenusLoginAndSignUpAgainstTheScoreServer) {
    ASSERT_NE(display, nullptr);
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    Game game(server.base("ok"));

    unsigned long window = menuWindow();
    ASSERT_NE(window, 0ul) << "no menu drawn";
    EXPECT_EQ(countIn(window, isBlack, competeBox), 0);
    ASSERT_NO_FATAL_FAILURE(logIn(window, "a n n", "p slash space Left Delete x"));
    ASSERT_TRUE(waitFor([&] { return !server.requests().empty(); }));
    EXPECT_EQ(server.requests(), std::vector<std::string>{"/ok/report.php?action=auth&username=ann&password=p%2F%20x"});
    // The answer, then the running game announcing a competition run.
    ASSERT_TRUE(waitFor([&] { return game.console().find("1\n1\n") != std::string::npos; })) << game.console();

    // Back from the running game, into the login screen again, and the sign-up line.
    ASSERT_TRUE(clickAt(window, 500, 450));
    ASSERT_TRUE(moveAndSee(window, 300, 300, isBlack, competeBox));
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(moveAndSee(window, 300, 350, isPureRed, {250, 300, 639, 330}));
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(waitFor([&] { return !readFile(game.browserLog()).empty(); }));
    EXPECT_EQ(readFile(game.browserLog()), game.signupUrl + "\n");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(stompathon, ExitEntryEndsWithStatusZero) {
    ASSERT_NE(display, nullptr);
    Game game(ScoreServerStub::refusedBase());
    unsigned long window = menuWindow();
    ASSERT_NE(window, 0ul) << "no menu drawn";
    ASSERT_TRUE(xdo("mousemove --window " + std::to_string(window) + " 300 400 click 3"));
    int status = -1;
    ASSERT_TRUE(game.waitForExit(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}
