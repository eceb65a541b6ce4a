// The score server's home page as a player meets it: in a real browser, typed
// into and clicked, read back from the DOM and looked at in screenshots.

#include "localScoreServer.h"
#include "webDriver.h"

#include <cmath>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The page's colours (OpenCV's order: blue, green, red)
const cv::Vec3b headerBlue(107, 58, 27);    // #1b3a6b
const cv::Vec3b white(255, 255, 255);
const cv::Vec3b stripe(246, 241, 238);      // #eef1f6, every even body row

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

// Signs up the way a player does, by typing into the form and pressing its
// button; leaves the browser on the page the server answered with.
void signUpInForm(WebDriver& browser, const LocalScoreServer& server, const std::string& name,
                  const std::string& password, const std::string& again) {
    browser.navigate(server.base());
    browser.sendKeys(browser.find("#username"), name);
    browser.sendKeys(browser.find("#password"), password);
    browser.sendKeys(browser.find("#password2"), again);
    browser.click(browser.find("#signup-button"));
    browser.find("#message");       // only an answer to a sign-up has one: waits for it
}

// The HTTP status the page in the browser came with.
std::string pageStatus(WebDriver& browser) {
    return browser.script("return performance.getEntriesByType('navigation')[0].responseStatus;");
}

std::string textOf(WebDriver& browser, const std::string& selector) {
    return browser.script("const e = document.querySelector(arguments[0]); return e ? e.textContent : '(none)';",
                          {selector});
}

// A table's body as the player reads it: a row each, the cells' text. Names
// cannot hold control characters, so those separate the cells safely.
std::vector<std::vector<std::string>> tableRows(WebDriver& browser, const std::string& table) {
    std::string text = browser.script(
        "return Array.from(document.querySelectorAll(arguments[0] + ' tbody tr'),"
        "  row => Array.from(row.cells, cell => cell.textContent).join('\\x1f')).join('\\x1e');",
        {table});
    std::vector<std::vector<std::string>> rows;
    for (const std::string& row : split(text, '\x1e')) {
        rows.push_back(split(row, '\x1f'));
    }
    return rows;
}

// Elements that only markup inside a player's name could have put on the page.
std::string injectedElementCount(WebDriver& browser) {
    return browser.script("return document.querySelectorAll('img, b, script').length;");
}

std::string report(const LocalScoreServer& server, const std::string& name, const std::string& password,
                   const std::string& seconds) {
    HttpAnswer answer = server.report(name, password, seconds);
    return std::to_string(answer.status) + " " + answer.body;
}

// The window is the viewport plus a frame whose size only the browser knows:
// sizes the window once, measures the frame, and sizes it again.
void setViewportSize(WebDriver& browser, int width, int height) {
    browser.setWindowSize(width, height);
    std::vector<std::string> inner = split(browser.script("return innerWidth + ' ' + innerHeight;"), ' ');
    ASSERT_EQ(inner.size(), 2u);
    browser.setWindowSize(2 * width - std::stoi(inner[0]), 2 * height - std::stoi(inner[1]));
    ASSERT_EQ(browser.script("return innerWidth + 'x' + innerHeight;"),
              std::to_string(width) + "x" + std::to_string(height));
}

// A box on the page in CSS pixels, as getBoundingClientRect gives it.
struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// The header row and then every body row of a table, and the device pixels per
// CSS pixel that the screenshot is taken in.
struct TableLayout {
    std::vector<Box> rows;
    double pixelRatio = 1;
};

// Scrolls the table into the viewport, where a screenshot sees it, and
// measures it there. A table in view already stays where it is, so the
// screenshot a person looks at starts at the top of the page when it can.
TableLayout tableLayout(WebDriver& browser, const std::string& table) {
    std::string text = browser.script(
        "document.querySelector(arguments[0]).scrollIntoView({block: 'nearest'});"
        "const rows = Array.from(document.querySelector(arguments[0]).rows, row => {"
        "  const r = row.getBoundingClientRect(); return [r.left, r.top, r.right, r.bottom].join(' '); });"
        "return [devicePixelRatio, ...rows].join('\\n');",
        {table});
    TableLayout layout;
    std::vector<std::string> lines = split(text, '\n');
    if (lines.empty()) {
        return layout;
    }
    layout.pixelRatio = std::stod(lines[0]);
    for (size_t i = 1; i < lines.size(); i++) {
        Box box;
        std::istringstream(lines[i]) >> box.left >> box.top >> box.right >> box.bottom;
        layout.rows.push_back(box);
    }
    return layout;
}

// A box in the screenshot's pixels, a pixel in from each edge, where
// anti-aliasing blends the row with its neighbour.
cv::Rect inScreenshot(const Box& box, double ratio) {
    int left = int(std::ceil(box.left * ratio)) + 1, top = int(std::ceil(box.top * ratio)) + 1;
    int right = int(std::floor(box.right * ratio)) - 1, bottom = int(std::floor(box.bottom * ratio)) - 1;
    return cv::Rect(left, top, right - left, bottom - top);
}

// The share of the area's pixels that show `colour`.
double shareOf(const cv::Mat& picture, const cv::Rect& area, const cv::Vec3b& colour) {
    const int tolerance = 4;
    cv::Scalar low(colour[0] - tolerance, colour[1] - tolerance, colour[2] - tolerance);
    cv::Scalar high(colour[0] + tolerance, colour[1] + tolerance, colour[2] + tolerance);
    cv::Mat matching;
    cv::inRange(picture(area), low, high, matching);
    return double(cv::countNonZero(matching)) / area.area();
}

// The table as drawn: the dark blue header across its full width, in every
// sixth of it, with the white header text on it; below, body rows white and
// light blue-grey by turns. Text covers well under half of any row.
void expectTableDrawn(const cv::Mat& screenshot, const TableLayout& layout) {
    ASSERT_GE(layout.rows.size(), 3u) << "a header and two body rows to tell the stripes";
    const cv::Rect whole(0, 0, screenshot.cols, screenshot.rows);
    cv::Rect header = inScreenshot(layout.rows[0], layout.pixelRatio);
    ASSERT_GT(header.area(), 0);
    ASSERT_EQ(header & whole, header) << "the header row lies outside the screenshot";
    const int slices = 6;
    for (int slice = 0; slice < slices; slice++) {
        cv::Rect part(header.x + header.width * slice / slices, header.y, header.width / slices, header.height);
        EXPECT_GT(shareOf(screenshot, part, headerBlue), 0.6) << "header sixth " << slice << " at " << part;
    }
    EXPECT_GT(shareOf(screenshot, header, white), 0.005) << "no header text to be seen";
    for (size_t row = 1; row < layout.rows.size(); row++) {
        cv::Rect area = inScreenshot(layout.rows[row], layout.pixelRatio);
        ASSERT_EQ(area & whole, area) << "body row " << row << " lies outside the screenshot";
        const cv::Vec3b& expected = row % 2 == 1 ? white : stripe;
        EXPECT_GT(shareOf(screenshot, area, expected), 0.5) << "body row " << row << " at " << area;
    }
}

}  // namespace

// A new player signs up through the page's form, the game reports a time for
// them, and the board shows it.
TEST(LeaderboardInBrowser, PlayerSignedUpInTheFormGetsOnTheBoardWithTheReportedTime) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    WebDriver browser(1280, 900);

    browser.navigate(server.base());
    EXPECT_EQ(browser.script("return document.querySelector('#best-times') === null;"), "true")
        << "a board with no runs yet";

    signUpInForm(browser, server, "Rosa Sprint", "hurdles4", "hurdles4");
    EXPECT_EQ(pageStatus(browser), "201");
    EXPECT_EQ(textOf(browser, "#message").substr(0, 21), "Welcome, Rosa Sprint!");
    EXPECT_EQ(browser.script("return document.querySelector('#message').classList.contains('welcome');"), "true");
    // What the browser sent is what the game will log in with
    EXPECT_EQ(server.get("report.php?action=auth&username=Rosa%20Sprint&password=hurdles4").body, "1");

    ASSERT_EQ(report(server, "Rosa Sprint", "hurdles4", "12.345"), "200 time recorded: 12.345 s for Rosa Sprint");
    browser.navigate(server.base());
    std::vector<std::vector<std::string>> best = tableRows(browser, "#best-times");
    ASSERT_EQ(best.size(), 1u);
    ASSERT_EQ(best[0].size(), 4u);
    EXPECT_EQ(best[0][0], "1");
    EXPECT_EQ(best[0][1], "Rosa Sprint");
    EXPECT_EQ(best[0][2], "12.345 s");
    EXPECT_TRUE(std::regex_match(best[0][3], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d UTC)"))) << best[0][3];
    EXPECT_EQ(tableRows(browser, "#latest-runs"),
              (std::vector<std::vector<std::string>>{{"Rosa Sprint", "12.345 s", best[0][3]}}));
}

// Names are shown exactly as the player chose them, wherever the page shows
// one: in the welcome, in both tables and back in the form after a refusal.
// This name closes an attribute and opens elements; an escaping fault would
// also open an alert, which fails the next browser command on its own.
TEST(LeaderboardInBrowser, NamesWithMarkupShowAsTheirOwnText) {
    const std::string markup = "'\"><b><img src onerror=alert(1)>";
    const std::string entity = "Tom &amp; Jerry";
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    WebDriver browser(1280, 900);

    signUpInForm(browser, server, markup, "secret1", "secret1");
    EXPECT_EQ(pageStatus(browser), "201");
    const std::string welcome = "Welcome, " + markup + "!";
    EXPECT_EQ(textOf(browser, "#message").substr(0, welcome.size()), welcome);
    EXPECT_EQ(injectedElementCount(browser), "0");

    ASSERT_EQ(server.signUp(entity, "secret2").status, 201);
    ASSERT_EQ(report(server, markup, "secret1", "10.5").substr(0, 4), "200 ");
    ASSERT_EQ(report(server, entity, "secret2", "11.25").substr(0, 4), "200 ");
    browser.navigate(server.base());
    EXPECT_EQ(browser.script("return Array.from(document.querySelectorAll('#best-times td.player'),"
                             " cell => cell.textContent).join('\\n');"),
              markup + "\n" + entity);
    EXPECT_EQ(browser.script("return Array.from(document.querySelectorAll('#latest-runs td.player'),"
                             " cell => cell.textContent).join('\\n');"),
              entity + "\n" + markup);
    EXPECT_EQ(injectedElementCount(browser), "0");

    // A refused sign-up puts the typed name back into the field's value attribute
    const std::string newcomer = "\"><img src onerror=alert(2)><b>";
    signUpInForm(browser, server, newcomer, "secret3", "secret4");
    EXPECT_EQ(pageStatus(browser), "400");
    EXPECT_EQ(textOf(browser, "#message"), "Not signed up: the two passwords differ.");
    EXPECT_EQ(browser.script("return document.querySelector('#username').value;"), newcomer);
    EXPECT_EQ(injectedElementCount(browser), "0");
}

// The board drawn at desktop size, then laid out on a phone: nothing wider
// than the screen, and each table whole within it. Each screenshot is kept in
// the build folder for a person to look at.
TEST(LeaderboardInBrowser, BoardIsDrawnOnDesktopAndFitsAPhone) {
    LocalScoreServer server;
    ASSERT_TRUE(server.running());
    // The longest name there can be, with nowhere to break it
    const std::vector<std::pair<std::string, std::string>> runs = {
        {"Ada", "9.81"}, {"Hubert_Blaine_Wolfeschlegelstein", "10.125"}, {"Zed", "14.5"}, {"Mo", "15"}};
    for (const auto& [name, seconds] : runs) {
        ASSERT_EQ(server.signUp(name, "password").status, 201) << name;
        ASSERT_EQ(report(server, name, "password", seconds).substr(0, 4), "200 ") << name;
    }
    WebDriver browser(1280, 900);

    ASSERT_NO_FATAL_FAILURE(setViewportSize(browser, 1280, 900));
    browser.navigate(server.base());
    ASSERT_EQ(tableRows(browser, "#best-times").size(), runs.size());
    TableLayout desktop = tableLayout(browser, "#best-times");
    cv::Mat desktopShot = browser.screenshot();
    cv::imwrite(SCREENSHOT_DIR "/leaderboard-desktop.png", desktopShot);
    EXPECT_EQ(desktopShot.size(), cv::Size(int(1280 * desktop.pixelRatio), int(900 * desktop.pixelRatio)));
    expectTableDrawn(desktopShot, desktop);

    ASSERT_NO_FATAL_FAILURE(setViewportSize(browser, 390, 844));
    browser.navigate(server.base());
    EXPECT_EQ(browser.script("return document.documentElement.scrollWidth <= innerWidth"
                             " ? 'fits' : document.documentElement.scrollWidth + ' px wide';"),
              "fits");
    // Each table's section scrolls sideways on its own, which would hide an
    // overflowing table from the page's width: both the table and its section
    // must fit.
    for (const char* table : {"#best-times", "#latest-runs"}) {
        std::vector<std::string> sizes = split(browser.script(
            "const table = document.querySelector(arguments[0]), box = table.getBoundingClientRect();"
            "const section = table.closest('section');"
            "return [box.left, box.right, innerWidth, section.scrollWidth, section.clientWidth].join(' ');",
            {table}), ' ');
        ASSERT_EQ(sizes.size(), 5u) << table;
        EXPECT_GE(std::stod(sizes[0]), 0) << table << " starts left of the screen";
        EXPECT_LE(std::stod(sizes[1]), std::stod(sizes[2])) << table << " ends right of the screen";
        EXPECT_LE(std::stod(sizes[3]), std::stod(sizes[4])) << table << " needs scrolling sideways";
    }
    TableLayout phone = tableLayout(browser, "#best-times");
    cv::Mat phoneShot = browser.screenshot();
    cv::imwrite(SCREENSHOT_DIR "/leaderboard-phone.png", phoneShot);
    EXPECT_EQ(phoneShot.cols, int(390 * phone.pixelRatio));
    expectTableDrawn(phoneShot, phone);
}
