// The real game end to end under the X server. It runs in a scratch folder
// whose data/ links to the game's files and adds a server.xml naming the
// project's score server; its camera replays a recording of two shoe-coloured
// patches that stand still and then run on the spot. xdotool clicks and types;
// the window's pixels, read back from the screen, show what the game drew; the
// server's store shows what was reported; SDL's disk driver writes the game's sound
// to a file from the moment it opens, so the file's length is a clock of events.
#include "localScoreServer.h"
#include "xDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <complex>
#include <deque>
#include <dirent.h>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const ColourTest isPureRed = exactly({255, 0, 0}), isBlack = exactly({0, 0, 0}), isWhite = exactly({255, 255, 255});
using Clock = std::chrono::steady_clock;

// The recording at the camera's own 320 by 240: a red patch centred at x 121 and
// a blue one at x 198, both on row 180, 41 by 17 pixels, swinging 25.6 pixels
// either way once running. Sixty frames a second with a stride of three frames
// make every camera frame a step of about 22 pixels, so a race (120 times the 77
// pixels between the blocks) takes a few seconds; the still phase outlasts the
// countdown.
const double stillSeconds = 5.5, runSeconds = 9;
const int shoeRow = 180, redShoeX = 121, blueShoeX = 198;
const int pictureLeft = 160, pictureTop = 20;   // the camera picture's corner in the window

PixelBox around(int x, int y, int half) {
    return {x - half, y - half, x + half, y + half};
}

// The patches' colours as the lossy recording gives them back; the drawn marks
// (pure red) are not shoes.
bool isShoeRed(Rgb c) {
    return c.r >= 190 && c.g >= 15 && c.g <= 75 && c.b >= 15 && c.b <= 75;
}
bool isShoeBlue(Rgb c) {
    return c.b >= 190 && c.r >= 15 && c.r <= 75 && c.g >= 55 && c.g <= 125;
}

const PixelBox titleBox{18, 0, 300, 150}, competeBox{350, 280, 639, 330};
const PixelBox shoeRows{pictureLeft, pictureTop + shoeRow - 8, pictureLeft + 319, pictureTop + shoeRow + 8};
const PixelBox redMark = around(pictureLeft + redShoeX, pictureTop + shoeRow, 7);
const PixelBox blueMark = around(pictureLeft + blueShoeX, pictureTop + shoeRow, 7);
const PixelBox lineBetweenBlocks{pictureLeft + redShoeX + 28, pictureTop + shoeRow - 1, pictureLeft + blueShoeX - 28,
                                 pictureTop + shoeRow + 1};
const PixelBox countdownBox{485, 180, 639, 250}, muteHint{500, 94, 639, 118};
// The winning screen: the photo doubled over the window, "You made it!" across
// the middle where no other screen has red, the finish text at 180.
const PixelBox photoShoeRows{100, 336, 560, 386}, madeItMiddle{200, 30, 330, 90}, finishText{20, 150, 150, 215};

// The game in a scratch folder with links to the repository's data files (less
// the two a run must own: server.xml, written here, and mySettings.xml, which
// must start out missing), and an xdg-open that only logs what it is given.
class Game {
public:
    Game(const std::string& serverUrl, const Program::Environment& environment) {
        mkdir(scratch.file("data").c_str(), 0755);
        mkdir(scratch.file("bin").c_str(), 0755);
        DIR* data = opendir(DATA_DIR);
        for (dirent* entry = data ? readdir(data) : nullptr; entry != nullptr; entry = readdir(data)) {
            std::string name = entry->d_name;
            if (name[0] != '.' && name != "server.xml" && name != "mySettings.xml") {
                symlink((std::string(DATA_DIR) + "/" + name).c_str(), scratch.file("data/" + name).c_str());
            }
        }
        if (data != nullptr) closedir(data);
        std::ofstream(scratch.file("data/server.xml"))
            << "<SERVER><URL>" << serverUrl << "</URL><SIGNUP>" << signupUrl << "</SIGNUP></SERVER>\n";
        std::ofstream(scratch.file("bin/xdg-open")) << "#!/bin/sh\necho \"$@\" >> " << browserLog() << "\n";
        chmod(scratch.file("bin/xdg-open").c_str(), 0755);
        Program::Environment withPath = environment;
        withPath.push_back({"PATH", scratch.file("bin") + ":" + std::getenv("PATH")});
        program = std::make_unique<Program>(STOMPATHON_PATH, scratch.path(), withPath);
    }

    std::string browserLog() const { return scratch.file("browser"); }

    const std::string signupUrl = "http://signup.example.test:8123/join";
    ScratchFolder scratch{"stompathon_e2e"};
    std::unique_ptr<Program> program;
};

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
    return countIn(window, exactly({255, 255, 0}), titleBox) > 100;
}

// Waits for the recording to come round to its still phase: the red patch's left
// edge seen moving, then back where it stands and unchanged for 400 ms; so that
// SPACE pressed now leaves over four seconds of standing still for the colour
// measurement.
bool waitForStillPhase(unsigned long window) {
    const int restingEdge = pictureLeft + redShoeX - 20;
    std::deque<Clock::time_point> changes;
    bool sawRunning = false;
    int lastEdge = -1;
    Clock::time_point lastChange = Clock::now();
    auto deadline = Clock::now() + std::chrono::seconds(int(2 * (stillSeconds + runSeconds)) + 2);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        int edge = Snapshot(window, shoeRows).leftmost(isShoeRed);
        if (edge != lastEdge) {
            lastEdge = edge;
            lastChange = Clock::now();
            changes.push_back(lastChange);
            while (lastChange - changes.front() > std::chrono::milliseconds(300)) changes.pop_front();
            sawRunning = sawRunning || changes.size() >= 4;
        } else if (sawRunning && std::abs(edge - restingEdge) <= 3 &&
                   Clock::now() - lastChange >= std::chrono::milliseconds(400)) {
            return true;
        }
    }
    return false;
}

// The game's sound output, 16-bit stereo: its length so far in seconds.
const int audioRate = 44100;
double audioSeconds(const std::string& audioFile) {
    struct stat file;
    return stat(audioFile.c_str(), &file) == 0 ? file.st_size / 4.0 / audioRate : 0;
}

// The pitch that leads the first 20 ms of each sound louder than a step tick in
// the left channel of the output, "880 " a countdown beep, "1320 " the start
// signal, "523 " the finish; each sound's start, in seconds, added to starts.
std::string soundsIn(const std::string& output, std::vector<double>& starts) {
    const size_t step = audioRate / 200, window = audioRate / 50;    // 5 and 20 ms
    auto left = [&](size_t frame) { return *reinterpret_cast<const short*>(&output[4 * frame]); };
    auto amplitude = [&](size_t at, int hertz) {
        std::complex<double> sum;
        for (size_t i = 0; i < window; i++) sum += double(left(at + i)) * std::polar(1.0, -2 * M_PI * hertz * i / audioRate);
        return 2 * std::abs(sum) / window;
    };
    std::string pitches;
    int lastPitch = 0;
    for (size_t at = 0; (at + window) * 4 <= output.size(); at += step) {
        int pitch = 523;
        for (int hertz : {880, 1320}) pitch = amplitude(at, hertz) > amplitude(at, pitch) ? hertz : pitch;
        pitch = amplitude(at, pitch) > 5000 ? pitch : 0;
        if (pitch != 0 && lastPitch == 0) {
            pitches += std::to_string(pitch) + " ";
            starts.push_back(double(at) / audioRate);
        }
        lastPitch = pitch;
    }
    return pitches;
}

// One race, from placing the blocks to the click that leaves the winning screen; the seconds
// from SPACE to it. Each countdown change (red, [1] white) and the winning screen go into shown.
double runRace(unsigned long window, const std::string& audioFile, std::vector<double>& shown) {
    EXPECT_TRUE(waitFor([&] { return cameraPictureShown(window); }, 10000)) << "no camera picture at (160, 20)";
    EXPECT_EQ(countIn(window, isPureRed, redMark) + countIn(window, isPureRed, blueMark), 0) << "marks before clicks";
    // The first click places block two (blue), the second block one (red).
    EXPECT_TRUE(clickAt(window, pictureLeft + blueShoeX, pictureTop + shoeRow));
    EXPECT_TRUE(clickAt(window, pictureLeft + redShoeX, pictureTop + shoeRow));
    EXPECT_TRUE(waitFor([&] { return countIn(window, isPureRed, redMark) > 5 && countIn(window, isPureRed, blueMark) > 5; }))
        << "no block marks where the blocks were clicked";
    EXPECT_TRUE(waitForStillPhase(window)) << "the patches never ran and then stood still";
    EXPECT_EQ(countIn(window, isPureRed, countdownBox), 0) << "a countdown before SPACE";
    int corner = 0;
    EXPECT_TRUE(xdo("key space"));
    auto space = Clock::now();
    // Each change is timed by the sound clock read just before the look that saw it.
    EXPECT_TRUE(waitFor([&] {
        double before = audioSeconds(audioFile);
        int now = countIn(window, [](Rgb c) { return isPureRed(c) || isWhite(c); }, countdownBox);
        if (now != corner) shown.push_back(before);
        corner = now;
        return countIn(window, isPureRed, lineBetweenBlocks) > 10;
    }, 10000)) << "no running line";
    double before = 0;
    EXPECT_TRUE(waitFor([&] {
        before = audioSeconds(audioFile);
        return winningScreenShown(window);
    }, 45000)) << "no winning screen";
    shown.push_back(before);
    double seconds = std::chrono::duration<double>(Clock::now() - space).count();
    EXPECT_TRUE(xdo("click 1"));
    // Any report is sent inside the click, before the screen draws again.
    EXPECT_TRUE(waitFor([&] { return cameraPictureShown(window) && countIn(window, isPureRed, madeItMiddle) == 0; }))
        << "the winning screen stays after the click";
    return seconds;
}

}  // namespace

TEST(stompathon, ACompetitionRaceIsReportedOnceAndTheMenusLeadEverywhere) {
    ScratchFolder recordingFolder;
    const std::string recording = recordingFolder.file("run.avi"), audio = recordingFolder.file("audio.raw");
    ASSERT_EQ(std::system(("timeout 60 /usr/bin/python3 '" RECORDING_SCRIPT "' '" + recording +
                           "' --size 320x240 --fps 60 --still " + std::to_string(stillSeconds) + " --run " +
                           std::to_string(runSeconds) + " --stride-period 0.05 >/dev/null").c_str()), 0);
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    ASSERT_EQ(server.signUp("runner", "p/ xm").status, 201);
    Game game(server.base(), {{"STOMPATHON_CAMERA", recording}, {"STOMPATHON_CAMERA_FPS", ""},
                              {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", audio}, {"STOMPATHON_SOUND", "0"}});
    unsigned long window = programWindow(10000);
    ASSERT_TRUE(window != 0 && waitFor([&] { return menuShown(window); }, 10000)) << "no menu drawn";
    EXPECT_GT(countIn(window, isWhite, competeBox), 30);
    ASSERT_TRUE(xdo("key m")) << "the game started muted: m turns the sound on";

    // Compete, and a login whose arrow and Delete keys are not typed.
    ASSERT_TRUE(moveAndSee(window, 300, 300, isBlack, competeBox)) << "Compete did not turn black";
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(moveAndSee(window, 300, 200, isPureRed, {300, 185, 420, 205})) << "no login screen";
    ASSERT_TRUE(xdo("click 1 key r u n n e r"));
    ASSERT_TRUE(moveAndSee(window, 300, 230, isPureRed, {300, 205, 420, 225}));
    ASSERT_TRUE(xdo("click 1 key p slash space Left Delete x m"));
    ASSERT_TRUE(moveAndSee(window, 300, 260, isPureRed, {550, 245, 639, 265}));
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(waitFor([&] { return game.program->console().find("1\n1\n") != std::string::npos; }))
        << "no competition run announced:\n" << game.program->console();

    std::vector<double> shown;
    double raceSeconds = runRace(window, audio, shown);
    // "m" on the race screen mutes, as its hint then says: a second countdown plays nothing.
    int hint = countIn(window, isWhite, muteHint);
    ASSERT_TRUE(xdo("key m"));
    ASSERT_TRUE(waitFor([&] { return countIn(window, isWhite, muteHint) != hint; })) << "the hint stays";
    // From a quarter second on: what was mixed before "m" may still be on its way to the file.
    const size_t mutedFrom = (audioSeconds(audio) + 0.25) * audioRate;
    ASSERT_TRUE(xdo("key space sleep 1.5"));
    const size_t mutedTo = audioSeconds(audio) * audioRate;
    std::smatch answer;
    std::string console;
    const std::regex recorded("submitting score...\ntime recorded: (.*) s for runner\n");
    ASSERT_TRUE(waitFor([&] { return std::regex_search(console = game.program->console(), answer, recorded); }))
        << console;
    // Counted from "GO!", the time cannot be much longer than SPACE to the winning screen.
    double seconds = std::stod(answer[1]);
    EXPECT_GT(seconds, 1.0);
    EXPECT_LT(seconds, 1.5 * raceSeconds + 1);
    const std::string stored = server.contents();
    EXPECT_EQ(occurrences(stored, "reports: "), 1u) << stored;
    // back, Compete again, the sign-up line opens the sign-up page; back, Exit.
    ASSERT_TRUE(clickAt(window, 500, 450));
    ASSERT_TRUE(waitFor([&] { return menuShown(window); })) << "back did not return to the menu";
    ASSERT_TRUE(moveAndSee(window, 300, 300, isBlack, competeBox));
    ASSERT_TRUE(xdo("click 1"));
    ASSERT_TRUE(moveAndSee(window, 300, 350, isPureRed, {250, 300, 639, 330}));
    ASSERT_TRUE(xdo("click 1"));
    EXPECT_TRUE(waitFor([&] { return readFile(game.browserLog()) == game.signupUrl + "\n"; }));
    ASSERT_TRUE(clickAt(window, 550, 280));
    ASSERT_TRUE(waitFor([&] { return menuShown(window); }));
    ASSERT_TRUE(clickAt(window, 300, 400, 3));
    int status = -1;
    ASSERT_TRUE(game.program->waitForExit(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;

    // Five beeps, the start signal and the finish, each within 100 ms of its change on the screen.
    const std::string output = readFile(audio);
    std::vector<double> heard;
    ASSERT_EQ(soundsIn(output, heard), "880 880 880 880 880 1320 523 ");
    ASSERT_GE(shown.size(), 7u) << "no countdown from [5] to GO!";
    for (size_t i = 0; i < 7; i++) EXPECT_NEAR(heard[i], shown[shown.size() - 7 + i], 0.1) << "sound " << i;
    ASSERT_LT(mutedFrom + audioRate, mutedTo);
    EXPECT_GE(output.find_first_not_of('\0', 4 * mutedFrom), 4 * mutedTo) << "a sound while muted";
}
