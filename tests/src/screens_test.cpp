// The menus and the login screen in a real window, run from the repository root so that data/ loads.
#include "fingerTracking.h"
#include "glTestWindow.h"
#include "loginScreen.h"
#include "loopback.h"
#include "mainMenu.h"
#include "testApp.h"

#include <chrono>
#include <unistd.h>

namespace {

// A started application; its screens are never freed, as in the game.
class Screens : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        app.setup();
    }

    void click(int x, int y, int button = 0) {
        app.mouseMoved(x, y);
        app.mousePressed(x, y, button);
        app.mouseReleased();
    }

    void type(std::initializer_list<int> keys) {
        for (int key : keys) {
            app.keyPressed(key);
            app.keyReleased(key);
        }
    }

    testApp app;
};

}  // namespace

// Each step starts from the hover the previous one left; between bands the previous entry holds.
TEST_F(Screens, HoverBandsChangeAtTheirBoundaries) {
    MainMenu* menu = static_cast<MainMenu*>(app.currentState);
    const int menuSteps[][3] = {{300, 139, 0}, {300, 140, 0}, {300, 141, 1}, {300, 140, 1}, {250, 200, 0},
                                {251, 200, 1}, {300, 240, 1}, {300, 241, 2}, {300, 340, 2}, {300, 341, 3}};
    for (auto step : menuSteps) {
        app.mouseMoved(step[0], step[1]);
        EXPECT_EQ(menu->hoverIndex, step[2]) << "menu at " << step[0] << "," << step[1];
    }
    app.mouseDragged(300, 200, 0);
    EXPECT_EQ(menu->hoverIndex, MainMenu::exitEntry) << "dragging hovers nothing";
    click(100, 100);        // beside the entries: the menu again
    EXPECT_EQ(app.currentState, app.mainMenu);

    click(300, 300);
    const int loginSteps[][3] = {{300, 159, 0}, {300, 190, 0}, {300, 191, 1}, {300, 160, 1}, {300, 210, 1},
                                 {300, 211, 2}, {300, 250, 2}, {300, 251, 3}, {300, 270, 3}, {300, 271, 4},
                                 {300, 300, 4}, {300, 301, 5}, {250, 400, 0}, {251, 400, 5}};
    for (auto step : loginSteps) {
        app.mouseMoved(step[0], step[1]);
        EXPECT_EQ(app.loginScreen->hoverIndex, step[2]) << "login at " << step[0] << "," << step[1];
    }
}

// Practice races, Compete logs in first. Typing goes into the clicked field on release and outlives a visit;
// "Login" asks without stopping the window, once at a time, and back drops the question. Only a 200 answer of
// exactly "1" leaves for a competition run, and the answer is printed as it came; back ends the competition.
TEST_F(Screens, MenusAndTheLoginScreenStartACompetitionRunOnlyOnAnAnswerOfExactlyOne) {
    CannedServer silent(""), yes("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1");
    app.scoreServer.url = silent.base();
    click(300, 200);
    EXPECT_EQ(app.currentState, app.fingerTracking);
    EXPECT_FALSE(app.fingerTracking->bCompeteMode);
    click(500, 450);
    click(300, 300, 2);     // any button chooses; the login screen starts the competition path
    EXPECT_EQ(app.currentState, app.loginScreen);
    EXPECT_TRUE(app.bCompeteMode);
    type({'x'});
    click(300, 200);
    app.keyPressed('q');
    EXPECT_EQ(app.username, "") << "typing before a field is clicked, and on press";
    type({'A', 'n', 'x', 8, 13, 9, 27, 127, 356, 257 + 100, 233, ' ', '&'});
    click(300, 230);
    type({8, 'p', 8, 8, 'w'});
    auto start = std::chrono::steady_clock::now();
    click(300, 260);
    click(300, 260);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    app.mouseMoved(100, 100);
    app.update();
    app.draw();
    EXPECT_GT(countPixels(Rgb{255, 255, 255}, PixelBox{420, 245, 540, 265}), 40) << "Logging in...";
    usleep(200000);
    EXPECT_EQ(silent.requestLines().size(), 1u);
    click(300, 280);
    EXPECT_FALSE(app.bCompeteMode) << "back on the menu";
    click(300, 300);
    EXPECT_FALSE(app.loginScreen->login.running()) << "the answer to come was dropped";
    type({'y'});
    EXPECT_EQ(app.username + "/" + app.password, "An\xe9 &/w");

    CannedServer lineEnd("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n1\n");
    CannedServer failing("HTTP/1.1 500 Oops\r\nContent-Length: 1\r\n\r\n1");
    auto logIn = [&](const std::string& base) {
        app.scoreServer.url = base;
        click(300, 260);
        app.loginScreen->login.waitFor(5000);
        app.update();
    };
    click(300, 200);        // editing: the click on "Login" ends it
    for (const std::string& base : {lineEnd.base(), failing.base(),
                                    "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/"}) {
        logIn(base);
        EXPECT_EQ(app.currentState, app.loginScreen) << base;
        EXPECT_FALSE(app.loginScreen->bEditing);
    }
    testing::internal::CaptureStdout();
    logIn(yes.base());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1\n1\n") << "the answer, then the competition run";
    EXPECT_EQ(yes.requestLines(),
              std::vector<std::string>{"GET /report.php?action=auth&username=An%E9%20%26&password=w HTTP/1.1"});
    EXPECT_EQ(app.currentState, app.fingerTracking);
    EXPECT_TRUE(app.fingerTracking->bCompeteMode);
    click(500, 450);
    EXPECT_FALSE(app.bCompeteMode) << "leaving the game ends the competition path";
}
