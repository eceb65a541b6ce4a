#pragma once

#include "gameStateObject.h"
#include "ofImage.h"
#include "scoreRequest.h"

// The competition path's screen: the player types a user name and password
// (kept in testApp, so they survive leaving), "Login" asks the score server
// without stopping the window, "back" returns to the menu (dropping an answer
// still to come), and the sign-up line opens the server's sign-up page in the
// web browser. All text in fontSmall.
class LoginScreen : public GameStateObject {
public:
    // Lifecycle
    void startState() override;         // fonts, "menuBackground.jpg"; nothing hovered or edited

    // Frames
    void update() override;             // acts on the server's answer once it has come
    void draw() override;               // hovered item red, the rest white; leaves the colour white

    // Keyboard: edits the focused field on release while bEditing
    void keyReleased(int key) override;

    // Mouse
    void mouseMoved(int x, int y) override;                     // picks the item band under (x, y)
    void mousePressed(int x, int y, int button) override;       // any button: acts on hoverIndex

    // Score server
    void askServer();                   // starts a login request unless one is running
    static bool accepts(const WebAnswer& answer);  // status 200 and exactly "1"

    // Items
    static constexpr int noItem = 0;
    static constexpr int usernameLine = 1;
    static constexpr int passwordLine = 2;
    static constexpr int loginItem = 3;
    static constexpr int backItem = 4;
    static constexpr int signupLine = 5;

    int hoverIndex = noItem;            // the item under the mouse
    int focusedField = noItem;          // usernameLine or passwordLine once a field was clicked
    ofImage background;                 // the main menu's picture
    ScoreRequest login;                 // the login request while the server is asked
    bool bEditing = false;              // typing goes to focusedField

private:
    std::string* focusedText();         // the testApp string that typing edits, or null
};
