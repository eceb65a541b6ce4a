// Whole races of the real game, end to end. stompathon runs in a scratch
// directory whose data/ links to the game's files and adds a server.xml naming
// the project's score server; its camera replays a recording of two shoe-coloured
// patches that stand still and then run on the spot. xdotool places the
// starting blocks on the patches and presses SPACE; the window's pixels, read
// back from the X server, show the countdown, the running line and the winning
// screen; the server's store shows what was reported.
#include "gameUnderX.h"
#include "localScoreServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// ---- The recording --------------------------------------------------------------
// The scene as the recording script lays it out at 320 by 240, the camera's own
// size, so camera pixels are recording pixels: a red patch centred at x 121 and a
// blue one at x 198 (0.38 and 0.62 of the width), both on row 180 (0.75 of the
// height), 41 by 17 pixels, swinging 25.6 pixels either way once running.
// Sixty frames a second with a stride of three frames make every camera frame a
// step of about 22 pixels, so the race (120 times the 77 pixels between the
// blocks) is run in a few seconds; the still phase outlasts the countdown.
const char* const recordingSize = "320x240";
const char* const recordingFps = "60";
const double stillSeconds = 5.5;
const double runSeconds = 9;
const char* const stridePeriod = "0.05";

const int shoeRow = 180;
const int redShoeX = 121;
const int blueShoeX = 198;
const int shoeHalfWidth = 20;
const int shoeHalfHeight = 8;

// The camera picture's top-left corner in the window.
const int pictureLeft = 160;
const int pictureTop = 20;

// ---- Pixels ---------------------------------------------------------------------

// The patches' colours as the lossy recording gives them back: (230, 40, 40) and
// (40, 90, 230) give or take a little; the drawn marks (pure red) are not shoes.
bool isShoeRed(Rgb c) {
    return c.r >= 190 && c.g >= 15 && c.g <= 75 && c.b >= 15 && c.b <= 75;
}
bool isShoeBlue(Rgb c) {
    return c.b >= 190 && c.r >= 15 && c.r <= 75 && c.g >= 55 && c.g <= 125;
}

Box around(int x, int y, int halfWidth, int halfHeight) {
    return {x - halfWidth, y - halfHeight, x + halfWidth, y + halfHeight};
}

// A camera pixel's place in the window.
int windowX(int cameraX) {
    return cameraX + pictureLeft;
}
int windowY(int cameraY) {
    return cameraY + pictureTop;
}

// ---- Time and the game's files ----------------------------------------------------

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The settings file the game writes into its data/ (none at the start).
std::string settings(const Game& game) {
    return readFile(game.dataDir() + "/mySettings.xml");
}

// ---- The recording -----------------------------------------------------------------

// A replay recording made by the project's script in a directory of its own.
class Recording {
public:
    Recording() {
        path = dir + "/run.avi";
        std::ostringstream command;
        command << "timeout 60 /usr/bin/python3 '" << RECORDING_SCRIPT << "' '" << path << "' --size " << recordingSize
                << " --fps " << recordingFps << " --still " << stillSeconds << " --run " << runSeconds
                << " --stride-period " << stridePeriod << " >/dev/null";
        made = std::system(command.str().c_str()) == 0 && access(path.c_str(), R_OK) == 0;
    }

    bool made = false;
    std::string path;

private:
    ScratchFolder scratch{"stompathon_race_rec"};
    std::string dir = scratch.path();
};

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        n++;
    }
    return n;
}

// ---- Places in the window --------------------------------------------------------

// The patches where they stand still, inside the camera picture.
const Box redShoeBox = around(windowX(redShoeX), windowY(shoeRow), shoeHalfWidth, shoeHalfHeight);
const Box blueShoeBox = around(windowX(blueShoeX), windowY(shoeRow), shoeHalfWidth, shoeHalfHeight);
// The rows of the patches across the whole camera picture, wherever they swing.
const Box shoeRows{pictureLeft, windowY(shoeRow - shoeHalfHeight), pictureLeft + 319, windowY(shoeRow + shoeHalfHeight)};
// The block marks (circles of radius 5) on the patches' centres.
const Box redBlockMark = around(windowX(redShoeX), windowY(shoeRow), 7, 7);
const Box blueBlockMark = around(windowX(blueShoeX), windowY(shoeRow), 7, 7);
// The running line between the patches, where neither circle reaches.
const Box lineBetweenBlocks{windowX(redShoeX + shoeHalfWidth + 8), windowY(shoeRow) - 1,
                            windowX(blueShoeX - shoeHalfWidth - 8), windowY(shoeRow) + 1};
// The countdown digits and "GO!", right of the camera picture.
const Box countdownBox{485, 180, 639, 250};

// The winning screen: the photo, the camera picture doubled to fill the window,
// puts the patches' rows at about 344 to 377; "You made it!" runs from x 20 along
// a baseline at 80, right across the middle of the window where no other screen
// has red; the finish text's first line sits at 180, left of the camera picture.
const Box photoShoeRows{100, 336, 560, 386};
const Box madeItMiddle{200, 30, 330, 90};
const Box finishText{20, 150, 150, 215};

bool cameraPictureShown(unsigned long window) {
    Snapshot rows(window, shoeRows);
    return rows.count(isShoeRed) > 200 && rows.count(isShoeBlue) > 200;
}

bool winningScreenShown(unsigned long window) {
    Snapshot photo(window, photoShoeRows);
    return photo.count(isShoeRed) > 800 && photo.count(isShoeBlue) > 800 &&
           countIn(window, isPureRed, madeItMiddle) > 60 && countIn(window, isPureRed, finishText) > 20;
}

bool menuShown(unsigned long window) {
    return countIn(window, isYellow, titleBox) > 100;
}

// Waits for the recording to come round to its still phase: the red patch's left
// edge, seen moving (several changes within 300 ms), then back where it stands
// still and unchanged for 400 ms. Returns soon after the still phase begins, so
// SPACE pressed now leaves more than four seconds of standing still for the
// colour measurement; false after the timeout.
bool waitForStillPhase(unsigned long window, int timeoutMs) {
    const int restingEdge = windowX(redShoeX - shoeHalfWidth);
    std::deque<Clock::time_point> changes;
    bool sawRunning = false;
    int lastEdge = Snapshot(window, shoeRows).leftmost(isShoeRed);
    Clock::time_point lastChange = Clock::now();
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        int edge = Snapshot(window, shoeRows).leftmost(isShoeRed);
        auto now = Clock::now();
        if (edge != lastEdge) {
            lastEdge = edge;
            lastChange = now;
            changes.push_back(now);
            while (now - changes.front() > std::chrono::milliseconds(300)) {
                changes.pop_front();
            }
            sawRunning = sawRunning || changes.size() >= 4;
        } else if (sawRunning && std::abs(edge - restingEdge) <= 3 &&
                   now - lastChange >= std::chrono::milliseconds(400)) {
            return true;
        }
    }
    return false;
}

// One race on the running game's screen, from the first block click to the
// click that leaves the winning screen. The screen must be showing the camera
// picture with both blocks cleared.
struct RaceTimes {
    double spaceToWinningScreen = 0;    // seconds, as the test saw it
};

void runRace(unsigned long window, RaceTimes& times) {
    ASSERT_TRUE(waitFor([&] { return cameraPictureShown(window); }, 10000)) << "no camera picture at (160, 20)";
    EXPECT_EQ(countIn(window, isPureRed, countdownBox), 0) << "a countdown before SPACE";

    EXPECT_EQ(countIn(window, isPureRed, redBlockMark) + countIn(window, isPureRed, blueBlockMark), 0)
        << "block marks on the patches before any click";

    // The first click places block two (blue), the second block one (red); their
    // circles then stand on the patches' centres.
    ASSERT_TRUE(clickAt(window, windowX(blueShoeX), windowY(shoeRow)));
    ASSERT_TRUE(clickAt(window, windowX(redShoeX), windowY(shoeRow)));
    EXPECT_TRUE(waitFor([&] {
        return countIn(window, isPureRed, redBlockMark) > 5 && countIn(window, isPureRed, blueBlockMark) > 5;
    })) << "no block marks where the blocks were clicked";

    ASSERT_TRUE(waitForStillPhase(window, 2 * int((stillSeconds + runSeconds) * 1000) + 2000))
        << "the camera picture never showed the patches running and then standing still";
    EXPECT_GT(Snapshot(window, redShoeBox).count(isShoeRed), 300) << "the red patch is not where the camera has it";
    EXPECT_GT(Snapshot(window, blueShoeBox).count(isShoeBlue), 300) << "the blue patch is not where the camera has it";
    ASSERT_TRUE(xdo("key space"));
    auto space = Clock::now();
    EXPECT_TRUE(waitFor([&] { return countIn(window, isPureRed, countdownBox) > 50; }, 3000))
        << "no countdown after SPACE";
    EXPECT_TRUE(waitFor([&] { return countIn(window, isPureRed, lineBetweenBlocks) > 10; }, 10000))
        << "no running line between the blocks after the countdown";

    ASSERT_TRUE(waitFor([&] { return winningScreenShown(window); }, 45000))
        << "no winning screen: photo shoes " << Snapshot(window, photoShoeRows).count(isShoeRed) << " red, "
        << Snapshot(window, photoShoeRows).count(isShoeBlue) << " blue; red text "
        << countIn(window, isPureRed, madeItMiddle) << " and " << countIn(window, isPureRed, finishText);
    times.spaceToWinningScreen = secondsSince(space);
    // The photo is one picture: it stands still while the recording runs on.
    Snapshot photo(window, photoShoeRows);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Snapshot later(window, photoShoeRows);
    EXPECT_EQ(photo.leftmost(isShoeRed), later.leftmost(isShoeRed)) << "the finish photo changes";
    EXPECT_EQ(photo.leftmost(isShoeBlue), later.leftmost(isShoeBlue)) << "the finish photo changes";

    ASSERT_TRUE(xdo("click 1"));
    // Any report is sent inside the click, before the screen draws again.
    ASSERT_TRUE(waitFor([&] { return cameraPictureShown(window) && countIn(window, isPureRed, madeItMiddle) == 0; }))
        << "the winning screen stays after the click";
}

// The score as the game writes it: the finish time in whole milliseconds,
// divided by 1000 in single precision, in a text stream's default float format.
bool isScoreText(const std::string& score) {
    if (!std::regex_match(score, std::regex("[0-9]+(\\.[0-9]*[1-9])?"))) {
        return false;
    }
    long ms = std::lround(std::stod(score) * 1000);
    std::ostringstream written;
    written << float(ms) / 1000;
    return written.str() == score;
}

// The hue and saturation stored for one shoe ("ONE" or "TWO") in the settings
// file's colours; false when they are not there.
bool storedColour(const std::string& settings, const std::string& shoe, double& hue, double& sat) {
    std::smatch colours, values;
    const std::string number = "\\s*([-+0-9.eE]+)\\s*";
    if (!std::regex_search(settings, colours, std::regex("<COLORS>([\\s\\S]*)</COLORS>")) ||
        !std::regex_search(colours[1].first, colours[1].second, values,
                           std::regex("<" + shoe + ">\\s*<HUE>" + number + "</HUE>\\s*<SAT>" + number + "</SAT>"))) {
        return false;
    }
    hue = std::atof(values[1].str().c_str());
    sat = std::atof(values[2].str().c_str());
    return true;
}

}  // namespace

TEST(raceEndToEnd, ScoreTextIsTheDefaultFloatFormat) {
    EXPECT_TRUE(isScoreText("12.345"));
    EXPECT_TRUE(isScoreText("9"));
    EXPECT_TRUE(isScoreText("9.5"));
    EXPECT_FALSE(isScoreText("9.500"));
    EXPECT_FALSE(isScoreText("9.50"));
    EXPECT_FALSE(isScoreText("12.3456"));
    EXPECT_FALSE(isScoreText("1.2e+01"));
    EXPECT_FALSE(isScoreText(""));
}

TEST(raceEndToEnd, CompetitionRaceIsReportedOncePracticeRaceNever) {
    ASSERT_NE(display, nullptr);
    Recording recording;
    ASSERT_TRUE(recording.made) << "the recording script failed";
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(server.signUp("runner", "pw12").status, 201);
    Game game(server.base(), {{"STOMPATHON_CAMERA", recording.path}, {"STOMPATHON_CAMERA_FPS", ""}});

    unsigned long window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = gameWindow()) != 0 && menuShown(window); }, 10000)) << "no menu drawn";

    // Compete, log in as runner with password pw12.
    ASSERT_NO_FATAL_FAILURE(logIn(window, "r u n n e r", "p w 1 2"));
    ASSERT_TRUE(waitFor([&] { return game.console().find("1\n1\n") != std::string::npos; }))
        << "no competition run announced:\n" << game.console();
    ASSERT_EQ(server.contents().find("reports: "), std::string::npos) << "a report before the race";

    RaceTimes competition;
    ASSERT_NO_FATAL_FAILURE(runRace(window, competition)) << "competition race";

    // The server's answer, printed by the game, names the score it was sent.
    std::smatch answer;
    const std::string console = game.console();
    const std::regex recorded("submitting score...\ntime recorded: (.*) s for runner\n");
    ASSERT_TRUE(std::regex_search(console, answer, recorded)) << console;
    std::string score = answer[1];
    EXPECT_TRUE(isScoreText(score)) << "score " << score;
    // The race itself takes seconds: the recording cannot carry the runner over
    // the track in under one, and the reported time, counted from "GO!", cannot
    // be much longer than the test waited from SPACE to the winning screen.
    double seconds = std::atof(score.c_str());
    EXPECT_GT(seconds, 1.0) << "score " << score;
    EXPECT_LT(seconds, 1.5 * competition.spaceToWinningScreen + 1) << "score " << score << " after "
                                                                     << competition.spaceToWinningScreen << " s";
    EXPECT_EQ(occurrences(game.console(), "submitting score..."), 1u) << game.console();
    const std::string stored = server.contents();
    EXPECT_EQ(occurrences(stored, "reports: "), 1u) << stored;
    char board[64];
    std::snprintf(board, sizeof(board), ">runner</td><td class=\"number\">%.3f s<", seconds);
    EXPECT_NE(server.get("").body.find(board), std::string::npos) << "runner's time not on the board";

    // With no settings file at the start, the measurement under the blocks wrote
    // one: block one stood on red (hue about 0), block two on blue (about 112).
    double hue = -1, sat = -1;
    EXPECT_TRUE(storedColour(settings(game), "ONE", hue, sat) && (hue <= 8 || hue >= 172) && sat >= 150)
        << "colour one hue " << hue << " sat " << sat << " in\n" << settings(game);
    EXPECT_TRUE(storedColour(settings(game), "TWO", hue, sat) && hue >= 104 && hue <= 120 && sat >= 150)
        << "colour two hue " << hue << " sat " << sat << " in\n" << settings(game);

    // back: the main menu, and from there a practice run.
    ASSERT_TRUE(clickAt(window, 500, 450));
    ASSERT_TRUE(waitFor([&] { return menuShown(window); })) << "back did not return to the menu";
    ASSERT_TRUE(moveAndSee(window, 300, 200, isBlack, practiceBox)) << "Practice did not turn black";
    std::size_t consoleBefore = game.console().size();
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(waitFor([&] { return ("\n" + game.console().substr(consoleBefore)).find("\n0\n") != std::string::npos; }))
        << "no practice run announced:\n" << game.console();

    RaceTimes practice;
    ASSERT_NO_FATAL_FAILURE(runRace(window, practice)) << "practice race";
    EXPECT_EQ(server.contents(), stored) << "a practice run reported";
    EXPECT_EQ(occurrences(game.console(), "submitting score..."), 1u) << game.console();

    ASSERT_TRUE(clickAt(window, 500, 450));
    EXPECT_TRUE(waitFor([&] { return menuShown(window); })) << "back did not return to the menu";
    EXPECT_TRUE(game.running());
}
