#include "gameStateObject.h"

#include "testApp.h"

void GameStateObject::startState() {
    fontLarge.loadFont("vag.ttf", 48);
    fontMedium.loadFont("vag.ttf", 32);
    fontSmall.loadFont("vag.ttf", 12);
}

void GameStateObject::endState() {
    reset();
    app->switchFromState(this, nextState);
}
