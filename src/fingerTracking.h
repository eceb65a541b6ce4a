#pragma once

#include "gameStateObject.h"
#include "ofImage.h"
#include "ofSoundPlayer.h"
#include "scoreRequest.h"
#include "ofVideoGrabber.h"
#include "ofxOpenCv.h"
#include "ofxVec2f.h"
#include "ofxXmlSettings.h"

#include <deque>
#include <string>
#include <vector>

// The frame timer behind the race clock: every other call takes a start time,
// the calls between measure from it, and delta keeps the last measured interval
// through the start-taking calls.
class deltaTime {
public:
    void doStuff();                     // once per update
    void restart();                     // forgets the time before: the next call takes a start

    float delta = 0;                    // milliseconds of the last measured interval
    float startTime = 0;                // milliseconds of elapsed time
    bool takeStart = false;             // the next call takes a start time
    int (*clockMillis)() = nullptr;     // elapsed milliseconds; null means the frame's own clock
};

// One shoe: its colour in the 8-bit HSV scale of the image buffers, and where
// it was found.
struct color {
    float hue = 0;                      // 0..180 (degrees halved)
    float sat = 0;                      // 0..255
    ofxVec2f currentPos;                // camera pixels, this frame
    ofxVec2f previousPos;               // camera pixels, the last frame it was found in
};

// The running game's screen (switch code 1): starting blocks and tutorial, a
// five-second countdown that measures the shoe colours under the blocks, the
// race with its step rule, and the winning screen that reports a competition
// time. Everything is in window pixels except the blocks and shoe positions,
// which are camera pixels (the camera picture is drawn at window (160, 20)).
// fingerTracking.cpp holds the race logic, fingerTrackingKeying.cpp the shoe
// keying and colour measurement, fingerTrackingDisplay.cpp the drawing and the
// score report.
class FingerTracking : public GameStateObject {
public:
    FingerTracking();                   // opens the camera, allocates every buffer, loads the pictures

    // Lifecycle
    void startState() override;         // prints bCompeteMode as "1" or "0", fonts, settings, a new race

    // Frames
    void update() override;             // timer, clock, camera, keying, step rule, finish
    void draw() override;               // the whole frame; measures and starts the race by clock

    // Keyboard: ' ' starts the countdown, 'p' the camera's settings, 'r' restarts the screen
    void keyPressed(int key) override;
    void keyReleased(int key) override { (void)key; }

    // Mouse: window pixels
    void mouseMoved(int x, int y) override;                 // back label: x > 400 and y > 400
    void mouseDragged(int x, int y, int button) override;   // as a press, without the winning click
    void mousePressed(int x, int y, int button) override;   // blocks, back label, winning click
    void mouseReleased() override {}

    // Leaving
    void reset() override;              // clears the race; keeps blocks, colours and raceLength

    // Keying and colour measurement (fingerTrackingKeying.cpp)
    void doCameraKeying();              // the camera picture into both masks and finders; with no
                                        // picture the masks are cleared and no shoe is found
    void getColor(color& c, int x, int y);  // hue and sat of one plane pixel, clamped to the picture
    void measureColors();               // both shoes at their blocks, the race length, the settings

    // Drawing (fingerTrackingDisplay.cpp)
    void drawOnScreenInfo();            // distance, time and key hints with black shadows
    void drawTrackPosition();           // the track strip and the runner, race phase only
    void drawWinningScreen();           // the finish photo, "You made it!" and the time
    void drawSetupTutorial();           // what to do next, by clickCount, with white shadows

    // Reporting, without stopping the window
    void submitScore();                 // prints "submitting score...", sends finishTimeMs in turn
    void pollReport();                  // prints an answer that has come; starts the next report
    void finishReports(int milliseconds);  // waits that long at most for the report under way

    // Geometry, in pixels
    static float d(float x1, float y1, float x2, float y2);
    static float distToLine(float px, float py, float x1, float y1, float x2, float y2);
                                        // from the infinite line; infinite when the points coincide
    static int stepFor(const ofxVec2f& previous, const ofxVec2f& current, const ofxVec2f& lineFrom,
                       const ofxVec2f& lineTo);  // whole pixels a move adds: 0 unless dx > 2 and
                                                 // closer than 10 to the line
    static constexpr int cameraLeft = 160;      // window pixel of the camera picture's corner
    static constexpr int cameraTop = 20;
    static constexpr float raceLengthPerBlockPixel = 120;

    // Texts and places of the display, from the race state
    static int countdownNumber(float raceClock);            // 5 .. 1 while counting down, 6 at -5000
    static std::string countdownText(float raceClock);      // "[5]" .. "[1]", "[6]" at -5000
    static std::string distanceText(int distanceCovered, float raceLength);  // "%.1f dm"; 0.0 with no length
    static std::string timeText(float raceClock);           // "%.3f " seconds, never below 0
    static std::string finishText(int finishTimeMs);        // "Finished in \n 12.345 seconds"
    static float runnerLeft(int distanceCovered, float raceLength);  // window x of the figure's left edge

    // Race state
    int width;                          // processing size of every picture: 320
    int height;                         // 240
    int distanceCovered = 0;            // whole pixels run in this race
    int highscore = 0;                  // read from the settings, used by nothing
    int clickCount = 0;                 // left clicks and drag events while not finished
    int overBack = 0;                   // 1 while the pointer is over the back label's corner
    int finishTimeMs = 0;               // race clock at the last frame drawn before the finish
    float raceClock = -5000;            // milliseconds; negative while counting down
    float blockDistance = 0;            // pixels between the blocks, taken at the measurement
    float raceLength = 1;               // pixels: 120 times blockDistance
    ofxVec2f blockOne;                  // camera pixels; where colour one is measured
    ofxVec2f blockTwo;                  // camera pixels; the first click places it
    ofxVec2f markerSlotOne;             // written under MARKERS ONE, otherwise (0, 0)
    ofxVec2f markerSlotTwo;             // written under MARKERS TWO
    bool running = false;               // the clock has passed zero
    bool finished = false;              // the race length is covered
    bool settingsLoaded = true;         // false: the measurement writes and saves the settings
    bool photoTaken = false;            // the winning screen holds its photo
    bool countdownStarted = false;      // SPACE was pressed
    bool bCompeteMode = false;          // written by testApp before every entry
    deltaTime frameTimer;               // drives raceClock
    int countdownHeard = 0;             // the countdown number last beeped, 0 for none in this race
    float lastStepSoundClock = 0;       // race clock of the last step tick, milliseconds

    // Tracking
    color shoeOne;                      // colour one: blockOne, maskOne, trackerOne, keys ONE
    color shoeTwo;                      // colour two: blockTwo, maskTwo, trackerTwo, keys TWO
    ofVideoGrabber grabber;             // the camera at width by height
    ofxCvColorImage cameraImage;        // copy of the camera picture, R G B
    ofxCvColorImage hsvImage;           // the same in HSV
    ofxCvColorImage photoImage;         // the finish photo
    ofxCvGrayscaleImage huePlane;       // planes of hsvImage
    ofxCvGrayscaleImage satPlane;
    ofxCvGrayscaleImage valPlane;
    ofxCvGrayscaleImage maskOneImage;   // maskOne as the finder's input
    ofxCvGrayscaleImage maskTwoImage;
    std::vector<unsigned char> maskOne; // width * height bytes: 255 inside colour one's band, else 0
    std::vector<unsigned char> maskTwo;
    ofxCvContourFinder trackerOne;      // the largest region of maskOneImage
    ofxCvContourFinder trackerTwo;

    // Pictures, sounds and services
    ofImage runnerImage;                // "fingers.png", with alpha
    ofImage trackImage;                 // "track.jpg"
    ofImage backgroundImage;            // "gameBackground.jpg"
    ofSoundPlayer countdownSound;       // "countdown.wav": as each of [5] .. [1] appears
    ofSoundPlayer startSound;           // "start.wav": on the frame the race starts running
    ofSoundPlayer stepSound;            // "step.wav": counted steps, at most 8 a second
    ofSoundPlayer finishSound;          // "finish.wav": as the winning screen appears
    ofxXmlSettings settings;            // "mySettings.xml"
    ScoreRequest report;                // the score report under way
    std::deque<std::string> reportsToSend;  // report URLs waiting for the one under way
    std::string reportAnswer;           // the last answer's first line, shown until the next race

private:
    void loadSettings();                // colours and highscore; settingsLoaded false if unreadable
    void saveSettings();                // colours and markers, then an atomic save
    void placeBlock(int x, int y, int button);  // the shared part of press and drag
    void keyShoe(const color& shoe, float hueReach, float satBelow, std::vector<unsigned char>& mask,
                 ofxCvGrayscaleImage& maskImage, ofxCvContourFinder& tracker);
    void raceClockSteps();              // measurement, start of the race, finishTimeMs
    void drawCameraPicture();           // picture, outlines, running line, block marks
    void drawCountdown();               // "[n]" or "GO!" in the colour left by the picture
};

// Keying of one shoe colour on bytes: mask[i] is 255 when hue[i] lies within
// hue +- hueReach around the hue circle of 180 and sat[i] within sat - satBelow ..
// sat + satAbove, bounds included, as if compared as floats; otherwise 0.
void keyColourBand(const unsigned char* hue, const unsigned char* sat, unsigned char* mask, int n,
                   float hueCentre, float satCentre, float hueReach, float satBelow, float satAbove);
