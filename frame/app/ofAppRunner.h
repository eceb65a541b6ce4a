#pragma once

#include "ofSimpleApp.h"

#include <string>

// Window modes
#define OF_WINDOW 0
#define OF_FULLSCREEN 1
#define OF_GAME_MODE 2

// Starting
void ofSetupOpenGL(int w, int h, int screenMode);   // creates the window; call once, first
void ofRunApp(ofSimpleApp* app);                    // runs app's setup and the main loop; never returns

// Frame timing
float ofGetFrameRate();                             // smoothed frames per second
void ofSetFrameRate(int targetRate);                // 0 switches the limiter off
void ofSleepMillis(int ms);
void ofSetVerticalSync(bool sync);                  // nothing when the display cannot do it

// Cursor
void ofHideCursor();
void ofShowCursor();

// Window
void ofSetWindowPosition(int x, int y);
void ofSetWindowShape(int w, int h);
int ofGetWindowPositionX();
int ofGetWindowPositionY();
int ofGetScreenWidth();
int ofGetScreenHeight();
int ofGetWidth();                                   // drawing area, asked of the window system
int ofGetHeight();
void ofSetWindowTitle(std::string title);

// Full screen (ignored in game mode; takes effect at the next display)
void ofToggleFullscreen();
void ofSetFullscreen(bool full);
int ofGetWindowMode();                              // OF_WINDOW, OF_FULLSCREEN or OF_GAME_MODE

// Teardown, registered at exit by ofRunApp: runs once, whichever way the process ends
void ofExitCallback();
