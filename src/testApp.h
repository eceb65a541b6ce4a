#pragma once

#include "ofScraperWebConnection.h"
#include "ofSimpleApp.h"

#include <string>

class GameStateObject;
class MainMenu;
class LoginScreen;
class FingerTracking;

// The application handed to the frame runner: owns one instance of every screen
// (created in setup, never destroyed), forwards every frame and input event
// unchanged to the current one, holds what the screens share, and switches
// screens when one of them asks.
class testApp : public ofSimpleApp {
public:
    // Lifecycle
    void setup() override;              // reads server.xml, opens the sound (muted when STOMPATHON_SOUND
                                        // is 0), builds the screens, starts the start menu
    void exit() override;               // waits at most 2 s for a score report under way, closes the sound

    // Frames, passed to currentState; the score report is polled on every screen
    void update() override;
    void draw() override;

    // Input, passed unchanged to currentState; "m" also mutes or unmutes unless typed into a field
    void keyPressed(int key) override;
    void keyReleased(int key) override;
    void mouseMoved(int x, int y) override;
    void mouseDragged(int x, int y, int button) override;
    void mousePressed(int x, int y, int button) override;
    void mouseReleased() override;

    // Switching: activates the screen a SwitchCode names; other codes change nothing,
    // SwitchCode::quit ends the process with status 0. `from` is not used.
    void switchFromState(GameStateObject* from, int code);

    MainMenu* mainMenu = nullptr;               // switch code 0; owned
    LoginScreen* loginScreen = nullptr;         // switch code 2; owned
    FingerTracking* fingerTracking = nullptr;   // switch code 1; owned
    GameStateObject* currentState = nullptr;    // receives every call; never null after setup
    std::string username;                       // typed on the login screen, kept for the whole run
    std::string password;                       // likewise, in clear text
    bool bCompeteMode = false;                  // from entering the login screen until the main menu
    ScoreServerSettings scoreServer;            // where the score server is, read in setup

private:
    void enter(GameStateObject* screen);        // makes screen current and starts it
};
