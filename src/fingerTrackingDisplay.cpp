#include "fingerTracking.h"

#include "ofAppRunner.h"
#include "ofGraphics.h"
#include "testApp.h"

#include <GL/glew.h>
#include <algorithm>
#include <cstdio>
#include <iostream>

// ---- File-level state -------------------------------------------------------------

static const float blockMarkRadius = 5;
static const float trackLeft = 40;              // the track strip, window pixels
static const float trackTop = 400;
static const float trackWidth = 400;
static const float trackHeight = 60;
static const float runnerTop = 336;
static const float runnerReach = 64;            // the figure's reference point, right of its left edge

struct ShadowedText {
    const std::string& text;
    float x, y;
    int r, g, b;
};

// ---- Helpers -----------------------------------------------------------------------

// Share of the race covered; with no race length (both blocks on one point)
// the runner stays at the start.
static float coveredShare(int distanceCovered, float raceLength) {
    if (!(raceLength > 0)) {
        return 0;
    }
    return static_cast<float>(distanceCovered) / raceLength;
}

// All shadows first, then all texts, so no shadow falls on a neighbouring text.
static void drawWithShadows(ofTrueTypeFont& font, const ShadowedText* texts, int count, int shadowGrey) {
    ofSetColor(shadowGrey, shadowGrey, shadowGrey);
    for (int i = 0; i < count; i++) {
        font.drawString(texts[i].text, texts[i].x + 2, texts[i].y + 2);
    }
    for (int i = 0; i < count; i++) {
        ofSetColor(texts[i].r, texts[i].g, texts[i].b);
        font.drawString(texts[i].text, texts[i].x, texts[i].y);
    }
}

// ---- Drawing -----------------------------------------------------------------------

void FingerTracking::draw() {
    ofSetColor(255, 255, 255);
    backgroundImage.draw(0, 0);
    if (finished) {
        drawWinningScreen();
        return;
    }
    ofSetColor(0, 0, 0);
    fontMedium.drawString("back", 460, 440);
    ofSetColor(255, 255, 255);
    drawOnScreenInfo();
    if (running) {
        drawTrackPosition();
    } else {
        drawSetupTutorial();
    }
    // The rest is in camera pixels; the frame's own translation is put back after it.
    glPushMatrix();
    glTranslatef(static_cast<float>(cameraLeft), static_cast<float>(cameraTop), 0);
    drawCameraPicture();
    raceClockSteps();
    drawCountdown();
    if (grabber.isLost()) {
        // Last, so the countdown keeps the colour the picture left.
        static const std::string lostText = "camera lost - plug it in again";
        const ShadowedText texts[] = {{lostText, 40, 120, 255, 255, 255}};
        drawWithShadows(fontSmall, texts, 1, 0);
        ofSetColor(255, 255, 255);
    }
    glPopMatrix();
}

void FingerTracking::drawOnScreenInfo() {
    const std::string spaceHint = "space to start!";
    const std::string muteHint = ofSoundIsMuted() ? "m for sound!" : "m to mute!";
    const std::string settingsHint = "p for settings!";
    const std::string distanceLabel = "distance: ";
    const std::string distance = distanceText(distanceCovered, raceLength);
    const std::string timeLabel = "time: ";
    const std::string time = timeText(raceClock);
    const ShadowedText texts[] = {
        {spaceHint, 500, 80, 255, 255, 255},    {muteHint, 500, 110, 255, 255, 255},
        {settingsHint, 500, 140, 255, 255, 255}, {distanceLabel, 20, 80, 255, 255, 255},
        {distance, 90, 80, 255, 0, 0},           {timeLabel, 20, 120, 255, 255, 255},
        {time, 90, 120, 255, 0, 0},              {reportAnswer, 8, 15, 255, 255, 255},
    };
    drawWithShadows(fontSmall, texts, 8, 0);
    ofSetColor(255, 255, 255);
}

void FingerTracking::drawTrackPosition() {
    ofSetColor(255, 255, 255);
    trackImage.draw(trackLeft, trackTop, trackWidth, trackHeight);
    ofSetColor(255, 255, 255);
    runnerImage.draw(runnerLeft(distanceCovered, raceLength), runnerTop);
}

void FingerTracking::drawWinningScreen() {
    if (!photoTaken) {
        unsigned char* camera = grabber.getPixels();
        if (camera != nullptr) {
            photoImage.setFromPixels(camera, width, height);
        } else {
            photoImage.set(0);
        }
        photoTaken = true;
        finishSound.play();
    }
    photoImage.draw(0, 0, static_cast<float>(ofGetWidth()), static_cast<float>(ofGetHeight()));
    ofSetColor(255, 0, 0);
    fontLarge.drawString("You made it!", 20, 80);
    fontSmall.drawString(finishText(finishTimeMs), 20, 180);
    ofSetColor(255, 255, 255);
}

void FingerTracking::drawSetupTutorial() {
    static const std::string firstBlock = "Please click on the first starting Block in the camera picture.";
    static const std::string secondBlock = "Please click on the second starting Block in the camera picture.";
    static const std::string getReady =
        "Please put on your shoes!\nStep in the picture so that the circles are in the colored area of your "
        "shoes!\nWe need to make color measurements!\n\nWhen you're ready, press SPACE and DONT MOVE until it "
        "says GO!";
    static const std::string readjust =
        "You can readjust the starting block positions by clicking in the camera picture.";
    if (clickCount < 2) {
        const ShadowedText texts[] = {{clickCount == 0 ? firstBlock : secondBlock, 20, 300, 0, 0, 0}};
        drawWithShadows(fontSmall, texts, 1, 255);
        return;
    }
    const ShadowedText texts[] = {{getReady, 20, 300, 0, 0, 0}, {readjust, 20, 470, 0, 0, 0}};
    drawWithShadows(fontSmall, texts, 2, 255);
}

// ---- Reporting ---------------------------------------------------------------------

// The user name and password are percent-encoded: a raw space would stop the
// request before it is sent, and a raw "&" would cut the value short. Reports
// wait their turn, so none is lost when the next race is faster than the server.
void FingerTracking::submitScore() {
    std::cout << "submitting score..." << std::endl;
    reportsToSend.push_back(scoreServerReportUrl(app->scoreServer.url, app->username, app->password, finishTimeMs));
    pollReport();
}

void FingerTracking::pollReport() {
    WebAnswer answer;
    if (report.takeAnswer(answer)) {
        std::string firstLine = answer.body.substr(0, answer.body.find('\n'));
        reportAnswer = answer.status == 0 ? "no answer from the score server" : printableAnswer(firstLine);
        std::cout << (answer.status == 0 ? reportAnswer : printableAnswer(answer.body)) << std::endl;
        while (fontSmall.stringWidth(reportAnswer) > ofGetWidth() - 16) {
            reportAnswer.pop_back();        // what fits in the window's top strip
        }
    }
    if (!report.running() && !reportsToSend.empty()) {
        report.start(reportsToSend.front());
        reportsToSend.pop_front();
    }
}

void FingerTracking::finishReports(int milliseconds) {
    report.waitFor(milliseconds);
    pollReport();
}

// ---- Texts and places --------------------------------------------------------------

int FingerTracking::countdownNumber(float raceClock) {
    return static_cast<int>(-raceClock) / 1000 + 1;
}

std::string FingerTracking::countdownText(float raceClock) {
    char text[32];
    std::snprintf(text, sizeof text, "[%i]", countdownNumber(raceClock));
    return text;
}

std::string FingerTracking::distanceText(int distanceCovered, float raceLength) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f dm", coveredShare(distanceCovered, raceLength) * 100);
    return text;
}

std::string FingerTracking::timeText(float raceClock) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f ", std::max(raceClock / 1000, 0.0f));
    return text;
}

std::string FingerTracking::finishText(int finishTimeMs) {
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f", finishTimeMs / 1000.0);
    return std::string("Finished in \n ") + seconds + " seconds";
}

float FingerTracking::runnerLeft(int distanceCovered, float raceLength) {
    return coveredShare(distanceCovered, raceLength) * trackWidth + trackLeft - runnerReach;
}

// ---- Private -----------------------------------------------------------------------

// Called with the origin at the camera picture's corner.
void FingerTracking::drawCameraPicture() {
    ofSetColor(0xFFFFFF);
    grabber.draw(0, 0);
    trackerOne.draw();
    trackerTwo.draw();
    // The outlines leave their own colour; what follows starts from white again.
    ofSetColor(0xFFFFFF);
    if (raceClock > 0) {
        ofSetColor(255, 0, 0);
        ofLine(blockOne.x, blockOne.y, blockTwo.x, blockTwo.y);
    }
    if (raceClock < -1000) {
        ofSetColor(255, 0, 0);
        ofCircle(blockOne.x, blockOne.y, blockMarkRadius);
        ofCircle(blockTwo.x, blockTwo.y, blockMarkRadius);
    }
}

// In the colour the camera picture left: red with the block marks and the
// running line, white between them.
void FingerTracking::drawCountdown() {
    if (!countdownStarted) {
        return;
    }
    float x = static_cast<float>(width + 20);
    float y = static_cast<float>(height - 20);
    if (raceClock < 0) {
        fontLarge.drawString(countdownText(raceClock), x, y);
    } else {
        fontLarge.drawString("GO!", x, y);
    }
}
