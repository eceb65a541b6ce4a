#include "testApp.h"

#include "fingerTracking.h"
#include "loginScreen.h"
#include "mainMenu.h"
#include "ofSoundPlayer.h"

#include <cstdlib>
#include <cstring>

static const int keyMute = 'm';

void testApp::setup() {
    username = "";
    password = "";
    bCompeteMode = false;
    scoreServer.load();
    // Before the screens, which load their sounds into the open device.
    ofSoundOpen();
    const char* sound = std::getenv("STOMPATHON_SOUND");
    ofSoundSetMuted(sound != nullptr && std::strcmp(sound, "0") == 0);

    mainMenu = new MainMenu();
    loginScreen = new LoginScreen();
    fingerTracking = new FingerTracking();
    // The start screen is a menu of its own; switch code 0 never comes back to it.
    enter(new MainMenu());
}

// A score report goes on whichever screen is current.
void testApp::update() {
    currentState->update();
    fingerTracking->pollReport();
}

// A report under way is given a moment to arrive before the program ends.
void testApp::exit() {
    fingerTracking->finishReports(2000);
    ofSoundClose();
}

void testApp::draw() {
    currentState->draw();
}

// "m" mutes and unmutes on every screen, but is typed like any letter into a login field.
void testApp::keyPressed(int key) {
    bool typing = currentState == loginScreen && loginScreen->bEditing;
    if (key == keyMute && !typing) {
        ofSoundSetMuted(!ofSoundIsMuted());
    }
    currentState->keyPressed(key);
}

void testApp::keyReleased(int key) {
    currentState->keyReleased(key);
}

void testApp::mouseMoved(int x, int y) {
    currentState->mouseMoved(x, y);
}

void testApp::mouseDragged(int x, int y, int button) {
    currentState->mouseDragged(x, y, button);
}

void testApp::mousePressed(int x, int y, int button) {
    currentState->mousePressed(x, y, button);
}

void testApp::mouseReleased() {
    currentState->mouseReleased();
}

void testApp::switchFromState(GameStateObject* from, int code) {
    (void)from;
    switch (code) {
    case SwitchCode::mainMenu:
        bCompeteMode = false;
        enter(mainMenu);
        break;
    case SwitchCode::runningGame:
        // Copied before startState, which announces it.
        fingerTracking->bCompeteMode = bCompeteMode;
        enter(fingerTracking);
        break;
    case SwitchCode::login:
        enter(loginScreen);
        bCompeteMode = true;
        break;
    case SwitchCode::quit:
        std::exit(0);
    default:
        break;
    }
}

void testApp::enter(GameStateObject* screen) {
    currentState = screen;
    currentState->app = this;
    currentState->startState();
}
