#include "mainMenu.h"

#include "ofGraphics.h"

static const char* const title = "2008\nStompathon";
static const char* const subtitle = "100 Decimeter Dash, Qualifying";

static void setEntryColour(bool hovered) {
    if (hovered) {
        ofSetColor(0, 0, 0);
    } else {
        ofSetColor(0xFFFFFF);
    }
}

void MainMenu::startState() {
    GameStateObject::startState();
    background.loadImage("menuBackground.jpg");
    nextState = -1;
    hoverIndex = noEntry;
}

void MainMenu::draw() {
    ofSetColor(0xFFFFFF);
    background.draw(0, 0);

    // A black shadow two pixels up and to the left of the yellow text.
    ofSetColor(0, 0, 0);
    fontLarge.drawString(title, 18, 48);
    fontSmall.drawString(subtitle, 18, 148);
    ofSetColor(255, 255, 0);
    fontLarge.drawString(title, 20, 50);
    fontSmall.drawString(subtitle, 20, 150);

    setEntryColour(hoverIndex == practice);
    fontMedium.drawString("Practice", 350, 220);
    setEntryColour(hoverIndex == compete);
    fontMedium.drawString("Compete", 350, 320);
    setEntryColour(hoverIndex == exitEntry);
    fontMedium.drawString("Exit", 350, 420);
    ofSetColor(0xFFFFFF);
}

// Bands right of x = 250, each reaching 20 pixels below its entry's baseline;
// at y = 140 exactly the previous entry holds.
void MainMenu::mouseMoved(int x, int y) {
    if (x <= 250) {
        hoverIndex = noEntry;
        return;
    }
    if (y < 140) hoverIndex = noEntry;
    if (y > 140) hoverIndex = practice;
    if (y > 240) hoverIndex = compete;
    if (y > 340) hoverIndex = exitEntry;
}

// The press position is not used: the hovered entry decides, and no entry
// re-enters this menu.
void MainMenu::mousePressed(int x, int y, int button) {
    (void)x;
    (void)y;
    (void)button;
    nextState = hoverIndex;
    endState();
}
