// The screens in a real window: switching between them, their hover bands, the
// login fields, and what they draw. Runs with the repository root as working
// directory, so the fonts and pictures of data/ load.
#include "fingerTracking.h"
#include "glTestWindow.h"
#include "loginScreen.h"
#include "mainMenu.h"
#include "ofGraphics.h"
#include "scoreServerStub.h"
#include "testApp.h"

#include <initializer_list>

namespace {

const Rgb white{255, 255, 255};
const Rgb black{0, 0, 0};
const Rgb red{255, 0, 0};
const Rgb yellow{255, 255, 0};

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

    void openLogin() {
        click(300, 300);
        ASSERT_EQ(app.currentState, app.loginScreen);
    }

    int countIn(Rgb colour, PixelBox box) {
        std::vector<Rgb> pixels = readFrame();
        int n = 0;
        for (int y = box.top; y <= box.bottom; y++) {
            for (int x = box.left; x <= box.right; x++) {
                n += pixels[y * 640 + x] == colour ? 1 : 0;
            }
        }
        return n;
    }

    testApp app;
};

struct Hover {
    int x, y, expected;
};

}  // namespace

TEST_F(Screens, StartsOnTheStartMenuWithNothingTyped) {
    ASSERT_NE(dynamic_cast<MainMenu*>(app.currentState), nullptr);
    EXPECT_NE(app.currentState, app.mainMenu);
    EXPECT_EQ(app.currentState->app, &app);
    EXPECT_EQ(app.username, "");
    EXPECT_EQ(app.password, "");
    EXPECT_FALSE(app.bCompeteMode);
}

TEST_F(Screens, PracticeRunsTheGameUnreported) {
    click(300, 200);
    EXPECT_EQ(app.currentState, app.fingerTracking);
    EXPECT_FALSE(app.fingerTracking->bCompeteMode);
    EXPECT_FALSE(app.bCompeteMode);
    click(500, 450);
    EXPECT_EQ(app.currentState, app.mainMenu);
}

TEST_F(Screens, CompeteThenBackEndsTheCompetitionPath) {
    openLogin();
    EXPECT_TRUE(app.bCompeteMode);
    click(300, 280);
    EXPECT_EQ(app.currentState, app.mainMenu);
    EXPECT_FALSE(app.bCompeteMode);
    // The right button chooses as the left does; a click on no entry re-enters the menu.
    app.mouseMoved(300, 300);
    app.mousePressed(300, 300, 2);
    EXPECT_EQ(app.currentState, app.loginScreen);
    click(300, 280);
    click(100, 100);
    EXPECT_EQ(app.currentState, app.mainMenu);
}

TEST_F(Screens, AcceptedLoginRunsTheGameReported) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    app.scoreServer.url = server.base("ok");
    openLogin();
    click(300, 200);
    type({'a', 'n', 'n'});
    click(300, 260);
    EXPECT_EQ(app.currentState, app.fingerTracking);
    EXPECT_TRUE(app.fingerTracking->bCompeteMode);
    EXPECT_EQ(server.requests(), std::vector<std::string>{"/ok/report.php?action=auth&username=ann&password="});
    // Leaving the game ends the competition path.
    click(500, 450);
    EXPECT_EQ(app.currentState, app.mainMenu);
    EXPECT_FALSE(app.bCompeteMode);
}

TEST_F(Screens, UnknownCodesChangeNothing) {
    GameStateObject* start = app.currentState;
    start->endState();      // nextState is still -1 from the entry
    EXPECT_EQ(app.currentState, start);
    openLogin();
    app.loginScreen->nextState = 7;
    app.loginScreen->endState();
    EXPECT_EQ(app.currentState, app.loginScreen);
    EXPECT_TRUE(app.bCompeteMode);
}

TEST_F(Screens, MainMenuBandsAndTheirBoundaries) {
    MainMenu* menu = static_cast<MainMenu*>(app.currentState);
    // In order: each step starts from the hover the previous one left.
    const Hover steps[] = {
        {300, 139, 0}, {300, 140, 0}, {300, 141, 1}, {300, 140, 1}, {250, 200, 0}, {251, 200, 1},
        {300, 240, 1}, {300, 241, 2}, {300, 340, 2}, {300, 341, 3}, {639, 479, 3}, {300, 139, 0},
    };
    for (const Hover& step : steps) {
        app.mouseMoved(step.x, step.y);
        EXPECT_EQ(menu->hoverIndex, step.expected) << "at " << step.x << "," << step.y;
    }
    app.mouseMoved(300, 300);
    app.mouseDragged(300, 200, 0);
    app.mouseDragged(100, 400, 0);
    EXPECT_EQ(menu->hoverIndex, MainMenu::compete);
}

TEST_F(Screens, LoginBandsAndTheHoldAbove190) {
    openLogin();
    LoginScreen* login = app.loginScreen;
    const Hover steps[] = {
        {300, 159, 0}, {300, 175, 0}, {300, 191, 1}, {300, 160, 1}, {300, 190, 1}, {300, 210, 1},
        {300, 211, 2}, {300, 250, 2}, {300, 251, 3}, {300, 270, 3}, {300, 271, 4}, {300, 300, 4},
        {300, 301, 5}, {250, 400, 0}, {251, 400, 5}, {300, 200, 1}, {300, 175, 1},
    };
    for (const Hover& step : steps) {
        app.mouseMoved(step.x, step.y);
        EXPECT_EQ(login->hoverIndex, step.expected) << "at " << step.x << "," << step.y;
    }
    app.mousePressed(300, 175, 0);
    EXPECT_TRUE(login->bEditing);
    EXPECT_EQ(login->focusedField, LoginScreen::usernameLine);
}

TEST_F(Screens, LoginTypingOnReleaseIntoTheClickedField) {
    openLogin();
    type({'x', 'y'});
    EXPECT_EQ(app.username, "");
    click(300, 200);
    app.keyPressed('q');
    EXPECT_EQ(app.username, "");
    type({'A', 'n', 'x', 8, 13, 9, 27, 127, 356, 257 + 100, 233, ' ', '&'});
    EXPECT_EQ(app.username, "An\xe9 &");
    click(300, 230);
    type({8, 'p', 8, 8, 'w'});
    EXPECT_EQ(app.password, "w");
    EXPECT_EQ(app.username, "An\xe9 &");
}

TEST_F(Screens, FailedLoginEndsEditingAndKeepsTheScreen) {
    ScoreServerStub server;
    ASSERT_TRUE(server.running());
    app.scoreServer.url = server.base("zero");
    openLogin();
    click(300, 200);
    type({'a'});
    click(300, 260);
    EXPECT_EQ(app.currentState, app.loginScreen);
    EXPECT_FALSE(app.loginScreen->bEditing);
    type({'b'});
    EXPECT_EQ(app.username, "a");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(Screens, TypedValuesOutliveTheVisit) {
    openLogin();
    click(300, 200);
    type({'u'});
    click(300, 230);
    type({'p'});
    click(300, 280);
    openLogin();
    EXPECT_EQ(app.username, "u");
    EXPECT_EQ(app.password, "p");
    EXPECT_FALSE(app.loginScreen->bEditing);
    EXPECT_EQ(app.loginScreen->focusedField, 0);
    EXPECT_EQ(app.loginScreen->hoverIndex, 0);
    type({'x'});
    EXPECT_EQ(app.username, "u");
}

TEST_F(Screens, MainMenuDrawsTheTitleAndTheHoveredEntryInBlack) {
    const PixelBox title{18, 0, 300, 150};
    const PixelBox compete{350, 280, 639, 330};
    app.draw();
    EXPECT_GT(countIn(yellow, title), 100);
    EXPECT_GT(countIn(white, compete), 50);
    EXPECT_EQ(countIn(black, compete), 0);

    app.mouseMoved(300, 300);
    clearFrame();
    app.draw();
    EXPECT_GT(countIn(black, compete), 50);
    EXPECT_EQ(countIn(white, compete), 0);
    // The colour is left white for whoever draws next.
    ofRect(0, 470, 5, 5);
    EXPECT_EQ(pixelAt(2, 472), white);
}

TEST_F(Screens, LoginDrawsOnlyTheHoveredItemRedAndThePasswordInClear) {
    openLogin();
    app.mouseMoved(300, 260);
    app.draw();
    PixelBox redText = boundsOf(red);
    EXPECT_GE(redText.left, 550);
    EXPECT_GE(redText.top, 240);
    EXPECT_LE(redText.bottom, 265);

    const PixelBox passwordValue{430, 200, 639, 226};
    app.mouseMoved(100, 100);
    clearFrame();
    app.draw();
    EXPECT_EQ(countPixels(red), 0);
    int before = countIn(white, passwordValue);
    click(300, 230);
    type({'s', 'e', 'c', 'r', 'e', 't'});
    app.mouseMoved(100, 100);
    clearFrame();
    app.draw();
    EXPECT_GT(countIn(white, passwordValue), before + 30);
}
