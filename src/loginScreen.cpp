#include "loginScreen.h"

#include "ofGraphics.h"
#include "ofUtils.h"
#include "testApp.h"

#include <iostream>

static const int backspace = 8;
static const int deleteKey = 127;
static const int firstSpecialKey = 256;

static void setItemColour(bool hovered) {
    if (hovered) {
        ofSetColor(255, 0, 0);
    } else {
        ofSetColor(0xFFFFFF);
    }
}

// Printable characters only: control codes, Delete and the function and arrow
// keys (whose low byte would pass for a letter) are never typed into a field.
static bool isTypable(int key) {
    return key > 31 && key != deleteKey && key < firstSpecialKey;
}

void LoginScreen::startState() {
    GameStateObject::startState();
    background.loadImage("menuBackground.jpg");
    nextState = -1;
    hoverIndex = noItem;
    focusedField = noItem;
    bEditing = false;
}

void LoginScreen::draw() {
    ofSetColor(0xFFFFFF);
    background.draw(0, 0);

    setItemColour(hoverIndex == usernameLine);
    fontSmall.drawString("[Username]", 300, 200);
    fontSmall.drawString(app->username, 430, 200);
    setItemColour(hoverIndex == passwordLine);
    fontSmall.drawString("[Password]", 300, 220);
    fontSmall.drawString(app->password, 430, 220);
    setItemColour(hoverIndex == loginItem);
    fontSmall.drawString("Login", 550, 260);
    ofSetColor(0xFFFFFF);
    if (login.running()) {
        fontSmall.drawString("Logging in...", 420, 260);
    }
    setItemColour(hoverIndex == backItem);
    fontSmall.drawString("back", 550, 280);
    setItemColour(hoverIndex == signupLine);
    fontSmall.drawString("Create an Account online at " + hostOf(app->scoreServer.signupUrl) + "!", 250, 320);
    ofSetColor(0xFFFFFF);
}

// The answer is printed as it came (an empty line when none did); only an
// accepted one leaves the screen.
void LoginScreen::update() {
    WebAnswer answer;
    if (!login.takeAnswer(answer)) {
        return;
    }
    std::cout << printableAnswer(answer.body) << std::endl;
    if (accepts(answer)) {
        nextState = SwitchCode::runningGame;
        endState();
    }
}

void LoginScreen::keyReleased(int key) {
    std::string* text = bEditing ? focusedText() : nullptr;
    if (text == nullptr) {
        return;
    }
    if (key == backspace && !text->empty()) {
        text->pop_back();
    }
    if (isTypable(key)) {
        text->push_back(static_cast<char>(key & 0xFF));
    }
}

// Bands right of x = 250; from y = 160 to 190 the previous item holds.
void LoginScreen::mouseMoved(int x, int y) {
    if (x <= 250) {
        hoverIndex = noItem;
        return;
    }
    if (y < 160) hoverIndex = noItem;
    if (y > 190) hoverIndex = usernameLine;
    if (y > 210) hoverIndex = passwordLine;
    if (y > 250) hoverIndex = loginItem;
    if (y > 270) hoverIndex = backItem;
    if (y > 300) hoverIndex = signupLine;
}

// The press position is not used: the hovered item decides. Every click ends
// editing unless it lands on a field; a Login click while the server is asked
// changes nothing; after endState() this screen is no longer current, so
// nothing follows it.
void LoginScreen::mousePressed(int x, int y, int button) {
    (void)x;
    (void)y;
    (void)button;
    bEditing = false;
    if (hoverIndex == usernameLine || hoverIndex == passwordLine) {
        bEditing = true;
        focusedField = hoverIndex;
    }
    if (hoverIndex == loginItem) {
        askServer();
    }
    if (hoverIndex == backItem) {
        login.drop();
        nextState = SwitchCode::mainMenu;
        endState();
        return;
    }
    if (hoverIndex == signupLine) {
        ofLaunchBrowser(app->scoreServer.signupUrl);
    }
}

void LoginScreen::askServer() {
    login.start(scoreServerAuthUrl(app->scoreServer.url, app->username, app->password));
}

bool LoginScreen::accepts(const WebAnswer& answer) {
    return answer.status == 200 && answer.body == "1";
}

std::string* LoginScreen::focusedText() {
    if (focusedField == usernameLine) return &app->username;
    if (focusedField == passwordLine) return &app->password;
    return nullptr;
}
