#pragma once

#include "gameStateObject.h"
#include "ofImage.h"

// The start screen and the screen of switch code 0: the title over the menu
// background and three entries chosen with the mouse. Reads no keys.
class MainMenu : public GameStateObject {
public:
    // Lifecycle
    void startState() override;         // fonts, "menuBackground.jpg", nothing hovered

    // Frames
    void update() override {}
    void draw() override;               // leaves the colour white

    // Keyboard
    void keyReleased(int key) override { (void)key; }

    // Mouse
    void mouseMoved(int x, int y) override;                     // picks the entry band under (x, y)
    void mousePressed(int x, int y, int button) override;       // any button: leaves with hoverIndex

    // Entries, numbered by the switch code a click on them sends
    static constexpr int noEntry = SwitchCode::mainMenu;
    static constexpr int practice = SwitchCode::runningGame;
    static constexpr int compete = SwitchCode::login;
    static constexpr int exitEntry = SwitchCode::quit;

    int hoverIndex = noEntry;           // the entry under the mouse
    ofImage background;                 // drawn at its own size from (0, 0)
};
