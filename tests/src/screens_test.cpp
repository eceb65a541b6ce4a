// The menus in a real window: switching between screens, their hover bands,
// the login fields and what they draw. Runs with the repository root as working
// directory, so the fonts and pictures of data/ load.
#include "fingerTracking.h"
#include "glTestWindow.h"
#include "localScoreServer.h"
#include "loginScreen.h"
#include "loopback.h"
#include "mainMenu.h"
#include "ofGraphics.h"
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

    // Through the menu's "Compete", then a user name and password typed into the fields.
    void openLoginAndType(std::initializer_list<int> name, std::initializer_list<int> password) {
        click(300, 300);
        ASSERT_EQ(app.currentState, app.loginScreen);
        click(300, 200);
        type(name);
        click(300, 230);
        type(password);
    }

    testApp app;
};

}  // namespace

TEST_F(Screens, MenusSwitchScreensAndCarryTheCompetitionFlag) {
    ASSERT_NE(dynamic_cast<MainMenu*>(app.currentState), nullptr);
    EXPECT_NE(app.currentState, app.mainMenu) << "the start screen is a menu of its own";
    GameStateObject* start = app.currentState;
    start->endState();      // nextState is still -1 from the entry: nothing changes
    EXPECT_EQ(app.currentState, start);

    click(300, 200);
    EXPECT_EQ(app.currentState, app.fingerTracking);
    EXPECT_FALSE(app.fingerTracking->bCompeteMode);
    click(500, 450);
    EXPECT_EQ(app.currentState, app.mainMenu);

    // Any button chooses; the login screen starts the competition path and back ends it.
    app.mouseMoved(300, 300);
    app.mousePressed(300, 300, 2);
    EXPECT_EQ(app.currentState, app.loginScreen);
    EXPECT_TRUE(app.bCompeteMode);
    app.loginScreen->nextState = 7;
    app.loginScreen->endState();
    EXPECT_EQ(app.currentState, app.loginScreen);
    click(300, 280);
    EXPECT_EQ(app.currentState, app.mainMenu);
    EXPECT_FALSE(app.bCompeteMode);
    click(100, 100);        // beside the entries: the menu again
    EXPECT_EQ(app.currentState, app.mainMenu);
}

// Each step starts from the hover the previous one left; between bands the
// previous entry holds.
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

    click(300, 300);
    const int loginSteps[][3] = {{300, 159, 0}, {300, 190, 0}, {300, 191, 1}, {300, 160, 1}, {300, 210, 1},
                                 {300, 211, 2}, {300, 250, 2}, {300, 251, 3}, {300, 270, 3}, {300, 271, 4},
                                 {300, 300, 4}, {300, 301, 5}, {250, 400, 0}, {251, 400, 5}};
    for (auto step : loginSteps) {
        app.mouseMoved(step[0], step[1]);
        EXPECT_EQ(app.loginScreen->hoverIndex, step[2]) << "login at " << step[0] << "," << step[1];
    }
}

TEST_F(Screens, TypingGoesIntoTheClickedFieldOnReleaseAndOutlivesTheVisit) {
    click(300, 300);
    type({'x'});
    click(300, 200);
    app.keyPressed('q');
    EXPECT_EQ(app.username, "") << "typing before a field is clicked, and on press";
    type({'A', 'n', 'x', 8, 13, 9, 27, 127, 356, 257 + 100, 233, ' ', '&'});
    EXPECT_EQ(app.username, "An\xe9 &");
    click(300, 230);
    type({8, 'p', 8, 8, 'w'});
    EXPECT_EQ(app.password, "w");
    click(300, 280);
    click(300, 300);
    EXPECT_FALSE(app.loginScreen->bEditing);
    type({'y'});
    EXPECT_EQ(app.username + "/" + app.password, "An\xe9 &/w");
}

// "Login" asks without stopping the window; only a 200 answer of exactly "1"
// leaves for a competition run, and the answer is printed as it came.
TEST_F(Screens, OnlyAnAnswerOfExactlyOneStartsACompetitionRun) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(server.signUp("ann", "pw12").status, 201);
    CannedServer lineEnd("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n1\n");
    CannedServer failing("HTTP/1.1 500 Oops\r\nContent-Length: 1\r\n\r\n1");
    auto logIn = [&](const std::string& base) {
        app.scoreServer.url = base;
        click(300, 260);
        for (int i = 0; i < 500 && app.loginScreen->login.running(); i++) {
            app.update();
            usleep(5000);
        }
    };
    openLoginAndType({'a', 'n', 'n'}, {'p', 'w', '1', '3'});
    for (const std::string& base : {server.base(), lineEnd.base(), failing.base(),
                                    "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/"}) {
        logIn(base);
        EXPECT_EQ(app.currentState, app.loginScreen) << base;
        EXPECT_FALSE(app.loginScreen->bEditing);
    }
    click(300, 230);
    type({8, '2'});
    testing::internal::CaptureStdout();
    logIn(server.base());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1\n1\n") << "the answer, then the competition run";
    EXPECT_EQ(app.currentState, app.fingerTracking);
    EXPECT_TRUE(app.fingerTracking->bCompeteMode);
    click(500, 450);
    EXPECT_FALSE(app.bCompeteMode) << "leaving the game ends the competition path";
}

TEST_F(Screens, AServerThatNeverAnswersLeavesTheWindowGoingAndBackDropsTheLogin) {
    CannedServer silent("");
    app.scoreServer.url = silent.base();
    openLoginAndType({'a'}, {'b'});
    auto start = std::chrono::steady_clock::now();
    click(300, 260);
    click(300, 260);    // asking already: nothing more is sent
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    app.mouseMoved(100, 100);
    app.update();
    clearFrame();
    app.draw();
    EXPECT_GT(countPixels(Rgb{255, 255, 255}, PixelBox{420, 245, 540, 265}), 40) << "Logging in...";
    usleep(200000);
    EXPECT_EQ(silent.requestLines().size(), 1u);
    click(300, 280);
    EXPECT_EQ(app.currentState, app.mainMenu);
    click(300, 300);
    EXPECT_FALSE(app.loginScreen->login.running()) << "the answer to come was dropped";
}

TEST_F(Screens, HoveredItemsAreDrawnInTheirColoursAndThePasswordInClear) {
    const PixelBox title{18, 0, 300, 150}, compete{350, 280, 639, 330};
    const Rgb black{0, 0, 0}, white{255, 255, 255}, red{255, 0, 0};
    app.draw();
    EXPECT_GT(countPixels(Rgb{255, 255, 0}, title), 100);
    EXPECT_GT(countPixels(white, compete), 50);
    EXPECT_EQ(countPixels(black, compete), 0);
    app.mouseMoved(300, 300);
    clearFrame();
    app.draw();
    EXPECT_GT(countPixels(black, compete), 50);
    EXPECT_EQ(countPixels(white, compete), 0);
    ofRect(0, 470, 5, 5);
    EXPECT_EQ(pixelAt(2, 472), white) << "the colour is left white for whoever draws next";

    openLoginAndType({}, {});
    app.mouseMoved(100, 100);
    clearFrame();
    app.draw();
    EXPECT_EQ(countPixels(red), 0);
    const PixelBox passwordValue{430, 200, 639, 226};
    int before = countPixels(white, passwordValue);
    type({'s', 'e', 'c', 'r', 'e', 't'});
    app.mouseMoved(300, 260);
    clearFrame();
    app.draw();
    PixelBox redText = boundsOf(red);
    EXPECT_GE(redText.left, 550);
    EXPECT_GE(redText.top, 240);
    EXPECT_LE(redText.bottom, 265);
    EXPECT_GT(countPixels(white, passwordValue), before + 30) << "the password, shown as typed";
}
