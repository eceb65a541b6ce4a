#include "ofAppRunner.h"

#include "../graphics/ofGraphics.h"
#include "../graphics/ofImage.h"
#include "../utils/ofMath.h"
#include "../utils/ofUtils.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glxew.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

// ---- Runner state (main-loop thread only) ----------------------------------------

// The application and the window
static ofSimpleApp* OFSAptr = nullptr;
static int windowMode = OF_WINDOW;
static bool newScreenMode = true;
static int nonFullScreenX = -1;
static int nonFullScreenY = -1;
static int requestedWidth = 0;
static int requestedHeight = 0;
static int width = 0;
static int height = 0;
static bool bWindowClosed = false;     // the window system has closed the window
static bool bTornDown = false;         // the exit teardown has run

// Frame-rate limiter
static bool bFrameRateSet = false;
static int millisForFrame = 0;
static int prevMillis = 0;
static int diffMillis = 0;

// Frame-rate measurement
static int nFrameCount = 0;
static int nFramesForFPS = 0;
static float timeNow = 0;
static float timeThen = 0;
static float fps = 0;
static float ofFrameRate = 0;

// Mouse
static int buttonInUse = 0;

// ---- Helpers -------------------------------------------------------------------------

// No sound or movie library is carried on this platform; their close steps keep
// their place in the teardown and have nothing to release.
static void closeFmod() {}
static void closeQuicktime() {}

// Asks the extensions usable with this display: the client library alone also
// lists swap control where the server has none (as under a virtual X server),
// and calling it there raises a fatal X error.
static bool hasGlxExtension(const std::string& name) {
    Display* display = glXGetCurrentDisplay();
    if (display == nullptr) {
        return false;
    }
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    std::istringstream names(extensions != nullptr ? extensions : "");
    std::string each;
    while (names >> each) {
        if (each == name) {
            return true;
        }
    }
    return false;
}

static void applyPendingScreenMode() {
    if (windowMode == OF_GAME_MODE || !newScreenMode) {
        return;
    }
    if (windowMode == OF_FULLSCREEN) {
        nonFullScreenX = glutGet(GLUT_WINDOW_X);
        nonFullScreenY = glutGet(GLUT_WINDOW_Y);
        glutFullScreen();
    } else if (windowMode == OF_WINDOW) {
        glutReshapeWindow(requestedWidth, requestedHeight);
        if (nFrameCount > 0) {
            glutPositionWindow(nonFullScreenX, nonFullScreenY);
        }
    }
    newScreenMode = false;
}

static void measureFrameRate() {
    timeNow = ofGetElapsedTimef();
    if (timeNow - timeThen > 0.05f || nFramesForFPS == 0) {
        fps = nFramesForFPS / (timeNow - timeThen);
        timeThen = timeNow;
        nFramesForFPS = 0;
        ofFrameRate = 0.9f * ofFrameRate + 0.1f * fps;
    }
    nFramesForFPS++;
    nFrameCount++;
    setFrameNum(nFrameCount);
}

// ---- Window-system callbacks ---------------------------------------------------------

static void display() {
    if (bWindowClosed || OFSAptr == nullptr) {
        return;
    }
    applyPendingScreenMode();

    width = ofGetWidth();
    height = ofGetHeight();
    if (height < 1) {
        height = 1;
    }
    glViewport(0, 0, width, height);

    // The first three frames are always cleared, so a program that draws without
    // the automatic background never shows uninitialised buffers.
    if (ofbClearBg() || nFrameCount <= 2) {
        float* bg = ofBgColorPtr();
        glClearColor(bg[0], bg[1], bg[2], bg[3]);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    ofSetupScreen();
    OFSAptr->draw();
    glutSwapBuffers();
    measureFrameRate();
}

static void idle_cb() {
    if (bWindowClosed || OFSAptr == nullptr) {
        return;
    }
    if (nFrameCount > 0 && bFrameRateSet) {
        diffMillis = ofGetElapsedTimeMillis() - prevMillis;
        if (diffMillis <= millisForFrame) {
            ofSleepMillis(millisForFrame - diffMillis);
        }
    }
    prevMillis = ofGetElapsedTimeMillis();
    OFSAptr->update();
    glutPostRedisplay();
}

static void mouse_cb(int button, int state, int x, int y) {
    if (nFrameCount == 0 || OFSAptr == nullptr) {
        return;
    }
    OFSAptr->mouseX = x;
    OFSAptr->mouseY = y;
    if (state == GLUT_DOWN) {
        OFSAptr->mousePressed(x, y, button);
    } else if (state == GLUT_UP) {
        OFSAptr->mouseReleased();
    }
    buttonInUse = button;
}

static void motion_cb(int x, int y) {
    if (nFrameCount == 0 || OFSAptr == nullptr) {
        return;
    }
    OFSAptr->mouseX = x;
    OFSAptr->mouseY = y;
    OFSAptr->mouseDragged(x, y, buttonInUse);
}

static void passive_motion_cb(int x, int y) {
    if (nFrameCount == 0 || OFSAptr == nullptr) {
        return;
    }
    OFSAptr->mouseX = x;
    OFSAptr->mouseY = y;
    OFSAptr->mouseMoved(x, y);
}

static void keyboard_cb(unsigned char key, int, int) {
    if (OFSAptr == nullptr) {
        return;
    }
    OFSAptr->keyPressed(key);
    if (key == 27) {
        std::exit(0);
    }
}

static void keyboard_up_cb(unsigned char key, int, int) {
    if (OFSAptr != nullptr) {
        OFSAptr->keyReleased(key);
    }
}

static void special_key_cb(int key, int, int) {
    if (OFSAptr != nullptr) {
        OFSAptr->keyPressed(key + 256);
    }
}

static void special_key_up_cb(int key, int, int) {
    if (OFSAptr != nullptr) {
        OFSAptr->keyReleased(key + 256);
    }
}

// The window system reports the mouse wheel as extra buttons unless a wheel
// handler is registered; applications know only buttons 0 to 2 and would take
// every scroll for a click.
static void mouse_wheel_cb(int, int, int, int) {
}

// The window manager closed the window. The teardown runs here, while the GL
// context still exists; the window system then ends the process with status 0
// and the at-exit call finds the teardown done.
static void close_cb() {
    ofExitCallback();
    bWindowClosed = true;
}

static void registerCallbacks() {
    glutMouseFunc(mouse_cb);
    glutMotionFunc(motion_cb);
    glutPassiveMotionFunc(passive_motion_cb);
    glutIdleFunc(idle_cb);
    glutDisplayFunc(display);
    glutKeyboardFunc(keyboard_cb);
    glutKeyboardUpFunc(keyboard_up_cb);
    glutSpecialFunc(special_key_cb);
    glutSpecialUpFunc(special_key_up_cb);
    glutMouseWheelFunc(mouse_wheel_cb);
    glutCloseFunc(close_cb);
}

// ---- Starting ----------------------------------------------------------------------------

void ofSetupOpenGL(int w, int h, int screenMode) {
    int argc = 1;
    char programName[] = "stompathon";
    char* argv[] = {programName, nullptr};
    glutInit(&argc, argv);
    ofResetElapsedTimeCounter();
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_EXIT);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);

    windowMode = screenMode;
    if (windowMode != OF_GAME_MODE) {
        glutInitWindowSize(w, h);
        glutCreateWindow("");
        ofBackground(200, 200, 200);
        ofSetColor(0xFFFFFF);
        requestedWidth = glutGet(GLUT_WINDOW_WIDTH);
        requestedHeight = glutGet(GLUT_WINDOW_HEIGHT);
    } else {
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
        char gameMode[64];
        std::snprintf(gameMode, sizeof(gameMode), "%dx%d:%d@%d", w, h, 32, 60);
        glutGameModeString(gameMode);
        if (!glutGameModeGet(GLUT_GAME_MODE_POSSIBLE)) {
            std::printf("game mode error: selected format (%s) not available \n", gameMode);
        }
        glutEnterGameMode();
    }
    // Extension flags (rectangle textures, swap control) need the context.
    glewInit();
}

void ofRunApp(ofSimpleApp* app) {
    OFSAptr = app;
    if (OFSAptr != nullptr) {
        OFSAptr->mouseX = 0;
        OFSAptr->mouseY = 0;
    }
    std::atexit(ofExitCallback);
    bFrameRateSet = false;
    registerCallbacks();
    ofSeedRandom();
    if (OFSAptr != nullptr) {
        OFSAptr->setup();
    }
    glutMainLoop();
}

// ---- Frame timing ---------------------------------------------------------------------------

float ofGetFrameRate() {
    return ofFrameRate;
}

void ofSetFrameRate(int targetRate) {
    if (targetRate == 0) {
        bFrameRateSet = false;
        return;
    }
    bFrameRateSet = true;
    float secondsPerFrame = 1.0f / targetRate;
    millisForFrame = static_cast<int>(1000.0 * secondsPerFrame);
}

void ofSleepMillis(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void ofSetVerticalSync(bool sync) {
    int interval = sync ? 1 : 0;
    if (hasGlxExtension("GLX_EXT_swap_control") && glXSwapIntervalEXT != nullptr) {
        glXSwapIntervalEXT(glXGetCurrentDisplay(), glXGetCurrentDrawable(), interval);
    } else if (hasGlxExtension("GLX_MESA_swap_control") && glXSwapIntervalMESA != nullptr) {
        glXSwapIntervalMESA(interval);
    } else if (hasGlxExtension("GLX_SGI_swap_control") && glXSwapIntervalSGI != nullptr && sync) {
        // This extension cannot switch synchronisation off again.
        glXSwapIntervalSGI(interval);
    }
}

// ---- Cursor -----------------------------------------------------------------------------------

void ofHideCursor() {
    glutSetCursor(GLUT_CURSOR_NONE);
}

void ofShowCursor() {
    glutSetCursor(GLUT_CURSOR_LEFT_ARROW);
}

// ---- Window -------------------------------------------------------------------------------------

void ofSetWindowPosition(int x, int y) {
    glutPositionWindow(x, y);
}

void ofSetWindowShape(int w, int h) {
    glutReshapeWindow(w, h);
    requestedWidth = w;
    requestedHeight = h;
}

int ofGetWindowPositionX() {
    return glutGet(GLUT_WINDOW_X);
}

int ofGetWindowPositionY() {
    return glutGet(GLUT_WINDOW_Y);
}

int ofGetScreenWidth() {
    return glutGet(GLUT_SCREEN_WIDTH);
}

int ofGetScreenHeight() {
    return glutGet(GLUT_SCREEN_HEIGHT);
}

int ofGetWidth() {
    return glutGet(GLUT_WINDOW_WIDTH);
}

int ofGetHeight() {
    return glutGet(GLUT_WINDOW_HEIGHT);
}

void ofSetWindowTitle(std::string title) {
    glutSetWindowTitle(title.c_str());
}

// ---- Full screen -----------------------------------------------------------------------------------

void ofToggleFullscreen() {
    if (windowMode == OF_GAME_MODE) {
        return;
    }
    windowMode = windowMode == OF_WINDOW ? OF_FULLSCREEN : OF_WINDOW;
    newScreenMode = true;
}

void ofSetFullscreen(bool full) {
    if (windowMode == OF_GAME_MODE) {
        return;
    }
    if (full && windowMode == OF_WINDOW) {
        windowMode = OF_FULLSCREEN;
        newScreenMode = true;
    } else if (!full && windowMode == OF_FULLSCREEN) {
        windowMode = OF_WINDOW;
        newScreenMode = true;
    }
}

int ofGetWindowMode() {
    return windowMode;
}

// ---- Teardown ----------------------------------------------------------------------------------------

void ofExitCallback() {
    if (bTornDown) {
        return;
    }
    bTornDown = true;
    closeFmod();
    closeQuicktime();
    ofCloseFreeImage();
    if (OFSAptr != nullptr) {
        OFSAptr->exit();
        delete OFSAptr;
        OFSAptr = nullptr;
    }
}
