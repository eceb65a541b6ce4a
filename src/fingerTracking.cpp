#include "fingerTracking.h"

#include "ofGraphics.h"
#include "ofUtils.h"

#include <cmath>
#include <initializer_list>
#include <iostream>
#include <limits>

// ---- File-level state -------------------------------------------------------------

static const char* const settingsFile = "mySettings.xml";

static const int keySpace = ' ';
static const int keySettings = 'p';
static const int keyRestart = 'r';

static const float countdownStart = -5000;      // race clock before SPACE, milliseconds
static const float minimumStep = 2;             // pixels a shoe must move beyond, per frame
static const float nearLine = 10;               // pixels a counting shoe stays within
static const float stepSoundGap = 125;          // race milliseconds between step ticks: 8 a second

// ---- Helpers -----------------------------------------------------------------------

static void takeShoePosition(const ofxCvContourFinder& tracker, ofxVec2f& position) {
    if (tracker.blobCount > 0) {
        const ofPoint& centre = tracker.blobs[0].centroid;
        position = ofxVec2f(centre.x, centre.y);
    }
}

// ---- deltaTime ---------------------------------------------------------------------

void deltaTime::doStuff() {
    float now = static_cast<float>(clockMillis != nullptr ? clockMillis() : ofGetElapsedTimeMillis());
    if (takeStart) {
        startTime = now;
    } else {
        delta = now - startTime;
    }
    takeStart = !takeStart;
}

void deltaTime::restart() {
    delta = 0;
    takeStart = true;
}

// ---- FingerTracking: construction --------------------------------------------------

FingerTracking::FingerTracking() : width(320), height(240) {
    grabber.setVerbose(true);
    grabber.initGrabber(width, height);

    for (ofxCvImage* image : std::initializer_list<ofxCvImage*>{
             &cameraImage, &hsvImage, &photoImage, &huePlane, &satPlane, &valPlane, &maskOneImage,
             &maskTwoImage}) {
        image->allocate(width, height);
        image->set(0);
    }
    maskOne.assign(static_cast<size_t>(width) * height, 0);
    maskTwo.assign(static_cast<size_t>(width) * height, 0);

    backgroundImage.loadImage("gameBackground.jpg");
    trackImage.loadImage("track.jpg");
    runnerImage.loadImage("fingers.png");
    runnerImage.setImageType(IMAGE_TYPE_COLOR_ALPHA);
    ofEnableAlphaBlending();

    countdownSound.loadSound("countdown.wav");
    startSound.loadSound("start.wav");
    stepSound.loadSound("step.wav");
    finishSound.loadSound("finish.wav");
}

// ---- Lifecycle ---------------------------------------------------------------------

void FingerTracking::startState() {
    std::cout << (bCompeteMode ? "1" : "0") << std::endl;
    GameStateObject::startState();
    nextState = SwitchCode::mainMenu;

    reset();
    overBack = 0;
    raceLength = 1;
    loadSettings();

    blockOne.set(0, 0);
    blockTwo.set(0, 0);
    markerSlotOne.set(0, 0);
    markerSlotTwo.set(0, 0);
    for (color* shoe : {&shoeOne, &shoeTwo}) {
        shoe->currentPos.set(0, 0);
        shoe->previousPos.set(0, 0);
    }
}

// ---- Frames ------------------------------------------------------------------------

void FingerTracking::update() {
    frameTimer.doStuff();
    if (countdownStarted) {
        raceClock += frameTimer.delta;
    }
    grabber.grabFrame();
    takeShoePosition(trackerOne, shoeOne.previousPos);
    takeShoePosition(trackerTwo, shoeTwo.previousPos);
    doCameraKeying();

    if (!running) {
        return;
    }
    // Each shoe counts against its own last position; one found in no frame keeps it.
    const ofxCvContourFinder* trackers[] = {&trackerOne, &trackerTwo};
    color* shoes[] = {&shoeOne, &shoeTwo};
    int distanceBefore = distanceCovered;
    for (int i = 0; i < 2; i++) {
        if (trackers[i]->blobCount == 0) {
            continue;
        }
        takeShoePosition(*trackers[i], shoes[i]->currentPos);
        distanceCovered += stepFor(shoes[i]->previousPos, shoes[i]->currentPos, blockOne, blockTwo);
    }
    // Ticks that follow every step would blur into a buzz; none after the finish.
    if (distanceCovered > distanceBefore && !finished && raceClock - lastStepSoundClock >= stepSoundGap) {
        stepSound.play();
        lastStepSoundClock = raceClock;
    }
    if (static_cast<float>(distanceCovered) > raceLength) {
        finished = true;
    }
}

// ---- Keyboard ----------------------------------------------------------------------

void FingerTracking::keyPressed(int key) {
    if (key == keySpace) {
        // No time before SPACE, however long the frame that handles it, joins the race.
        countdownStarted = true;
        frameTimer.restart();
        reportAnswer.clear();
    } else if (key == keySettings) {
        grabber.videoSettings();
    } else if (key == keyRestart) {
        startState();
    }
}

// ---- Mouse -------------------------------------------------------------------------

void FingerTracking::mouseMoved(int x, int y) {
    overBack = (x > 400 && y > 400) ? 1 : 0;
}

void FingerTracking::mouseDragged(int x, int y, int button) {
    placeBlock(x, y, button);
}

void FingerTracking::mousePressed(int x, int y, int button) {
    if (finished) {
        if (button == 0) {
            if (bCompeteMode) {
                submitScore();
            }
            reset();
        }
        return;
    }
    placeBlock(x, y, button);
}

// ---- Leaving -----------------------------------------------------------------------

// The frame timer starts afresh: no time spent on another screen or before the
// next SPACE ever joins a race.
void FingerTracking::reset() {
    frameTimer.restart();
    running = false;
    countdownStarted = false;
    photoTaken = false;
    finished = false;
    settingsLoaded = true;
    distanceCovered = 0;
    clickCount = 0;
    raceClock = countdownStart;
    blockDistance = 0;
    finishTimeMs = 0;
    countdownHeard = 0;
    lastStepSoundClock = countdownStart;
}

// ---- Geometry ----------------------------------------------------------------------

float FingerTracking::d(float x1, float y1, float x2, float y2) {
    return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

// Two coinciding points make no line: nothing is near it, so no step counts.
float FingerTracking::distToLine(float px, float py, float x1, float y1, float x2, float y2) {
    float dx = x2 - x1;
    float dy = y2 - y1;
    float lengthSquared = dx * dx + dy * dy;
    if (lengthSquared == 0) {
        return std::numeric_limits<float>::infinity();
    }
    float t = ((px - x1) * dx + (py - y1) * dy) / lengthSquared;
    return d(px, py, x1 + t * dx, y1 + t * dy);
}

int FingerTracking::stepFor(const ofxVec2f& previous, const ofxVec2f& current, const ofxVec2f& lineFrom,
                            const ofxVec2f& lineTo) {
    float dx = current.x - previous.x;
    float distance = distToLine(current.x, current.y, lineFrom.x, lineFrom.y, lineTo.x, lineTo.y);
    if (dx > minimumStep && distance < nearLine) {
        return static_cast<int>(dx);
    }
    return 0;
}

// ---- Private -----------------------------------------------------------------------

// Colours as integers, in the order ONE HUE, ONE SAT, TWO HUE, TWO SAT, HIGHSCORE.
void FingerTracking::loadSettings() {
    if (!settings.loadFile(settingsFile)) {
        settingsLoaded = false;
    }
    shoeOne.hue = static_cast<float>(settings.getValue("STOMPATHON:COLORS:ONE:HUE", 0));
    shoeOne.sat = static_cast<float>(settings.getValue("STOMPATHON:COLORS:ONE:SAT", 0));
    shoeTwo.hue = static_cast<float>(settings.getValue("STOMPATHON:COLORS:TWO:HUE", 0));
    shoeTwo.sat = static_cast<float>(settings.getValue("STOMPATHON:COLORS:TWO:SAT", 0));
    highscore = settings.getValue("STOMPATHON:SCORES:HIGHSCORE", 0);
}

void FingerTracking::saveSettings() {
    settings.setValue("STOMPATHON:COLORS:ONE:HUE", static_cast<double>(shoeOne.hue));
    settings.setValue("STOMPATHON:COLORS:ONE:SAT", static_cast<double>(shoeOne.sat));
    settings.setValue("STOMPATHON:COLORS:TWO:HUE", static_cast<double>(shoeTwo.hue));
    settings.setValue("STOMPATHON:COLORS:TWO:SAT", static_cast<double>(shoeTwo.sat));
    settings.setValue("STOMPATHON:MARKERS:ONE:X", static_cast<double>(markerSlotOne.x));
    settings.setValue("STOMPATHON:MARKERS:ONE:Y", static_cast<double>(markerSlotOne.y));
    settings.setValue("STOMPATHON:MARKERS:TWO:X", static_cast<double>(markerSlotTwo.x));
    settings.setValue("STOMPATHON:MARKERS:TWO:Y", static_cast<double>(markerSlotTwo.y));
    settings.saveFile(settingsFile);
}

// The leave action comes last: after endState() another screen is current.
void FingerTracking::placeBlock(int x, int y, int button) {
    x -= cameraLeft;
    y -= cameraTop;
    if (finished || button != 0) {
        return;
    }
    clickCount++;
    if (clickCount % 2 == 1) {
        blockTwo.set(static_cast<float>(x), static_cast<float>(y));
    } else {
        blockOne.set(static_cast<float>(x), static_cast<float>(y));
    }
    if (overBack == 1) {
        endState();
    }
}

// In every drawn frame but the winning screen's, after the camera picture, so
// each sound starts with the frame that shows its event.
void FingerTracking::raceClockSteps() {
    if (raceClock > -2000 && raceClock < -1700) {
        measureColors();
    }
    // "[6]" stands only until the first time is added after SPACE: no beep for it.
    int shown = countdownNumber(raceClock);
    if (countdownStarted && raceClock < 0 && shown <= 5 && shown != countdownHeard) {
        countdownSound.play();
        countdownHeard = shown;
    }
    if (raceClock > 0 && !running) {
        running = true;
        startSound.play();
    }
    finishTimeMs = static_cast<int>(raceClock);
}
