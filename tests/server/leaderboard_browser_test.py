"""The score server's home page as a player meets it, in headless Chromium. Arguments: SCREENSHOT_FOLDER."""
import os
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import urlencode
from urllib.request import urlopen

import cv2
import numpy as np
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

PUBLIC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "server", "public")
# This machine has no network: whatever would reach out is turned off.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]
HEADER_BLUE, WHITE, STRIPE = (107, 58, 27), (255, 255, 255), (246, 241, 238)  # blue, green, red
WELCOME = "Welcome, {}! Choose Compete in the game and log in to race for the board."
# Close an attribute and open elements; unescaped, they open an alert that fails the next command.
MARKUP, NEWCOMER = "'\"><b><img src onerror=alert(1)>", "\"><img src onerror=alert(2)><b>"
PASSWORD = "hurdles4"
ENTITY = "Tom &amp; Jerry"
LONGEST = "Hubert_Blaine_Wolfeschlegelstein"  # as long as a name can be, with nowhere to break it
# What the page shows a player, and the elements only markup in a name could have made.
PAGE = """const byId = id => document.getElementById(id), message = byId('message');
const rows = id => byId(id) && Array.from(byId(id).tBodies[0].rows, row => Array.from(row.cells, c => c.textContent));
return {status: performance.getEntriesByType('navigation')[0].responseStatus, typed: byId('username').value,
        message: message && [message.className, message.textContent], best: rows('best-times'),
        latest: rows('latest-runs'), injected: document.querySelectorAll('img, b, script').length};"""


class LeaderboardInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in FLAGS + ["--user-data-dir=" + cls.enterClassContext(tempfile.TemporaryDirectory())]:
            options.add_argument(flag)
        cls.browser = cls.enterClassContext(webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options))
        cls.browser.implicitly_wait(10)

    def setUp(self):
        store = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "scores.sqlite")
        server = subprocess.Popen(["php", "-q", "-S", "127.0.0.1:0", "-t", PUBLIC], stderr=subprocess.PIPE,
                                  env=dict(os.environ, STOMPATHON_SCORES_DB=store), text=True)
        self.addCleanup(server.communicate)
        self.addCleanup(server.terminate)
        # Once listening on the port it was given it says "[date] PHP 8.2.7 Development Server (URL) started"
        self.base = server.stderr.readline().split()[-2].strip("()") + "/"

    def ask(self, action, name, score=""):
        query = urlencode({"action": action, "username": name, "password": PASSWORD, "score": score})
        with urlopen(self.base + "report.php?" + query) as answer:
            return answer.status, answer.read().decode()

    def sign_up_in_form(self, name, password, again, **expected):
        self.browser.get(self.base)
        for field, text in (("username", name), ("password", password), ("password2", again)):
            self.browser.find_element("id", field).send_keys(text)
        self.browser.find_element("id", "signup-button").click()
        self.browser.find_element("id", "message")  # only an answer to a sign-up has one: waits for it
        self.assert_page(**expected)

    def assert_page(self, **expected):
        page = self.browser.execute_script(PAGE)
        self.assertEqual({key: page[key] for key in expected}, expected)
        return page

    def near(self, shot, box, colour):
        left, top, right, bottom = box
        self.assertTrue(0 <= left < right <= shot.shape[1] and 0 <= top < bottom <= shot.shape[0], f"{box} outside")
        return np.all(np.abs(shot[top:bottom, left:right].astype(int) - colour) <= 4, axis=2)

    def assert_best_times_drawn(self, width, height, screenshot):
        metrics = {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False}
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
        self.browser.get(self.base)
        # Each row a pixel in from its edges, where anti-aliasing blends it with its neighbour
        boxes = self.browser.execute_script(
            "const table = document.getElementById('best-times'); table.scrollIntoView({block: 'nearest'});"
            "return Array.from(table.rows, row => row.getBoundingClientRect()).map(r =>"
            "  [Math.ceil(r.left) + 1, Math.ceil(r.top) + 1, Math.floor(r.right) - 1, Math.floor(r.bottom) - 1]);")
        self.browser.save_screenshot(os.path.join(sys.argv[1], screenshot))  # kept for a person to look at
        shot = cv2.imread(os.path.join(sys.argv[1], screenshot))
        sixths = np.array_split(self.near(shot, boxes[0], HEADER_BLUE), 6, axis=1)
        self.assertGreater(min(sixth.mean() for sixth in sixths), 0.6, "header blue")
        self.assertGreater(self.near(shot, boxes[0], WHITE).mean(), 0.005, "header text")
        for row, box in enumerate(boxes[1:], 1):
            self.assertGreater(self.near(shot, box, WHITE if row % 2 else STRIPE).mean(), 0.5, f"body row {row}")

    def test_players_signed_up_in_the_form_show_on_the_board_on_desktop_and_phone(self):
        # A refused sign-up puts the typed name back into the field's value attribute
        self.sign_up_in_form(NEWCOMER, "secret3", "secret4", status=400, typed=NEWCOMER, injected=0, best=None,
                             latest=None, message=["message", "Not signed up: the two passwords differ."])
        for name, seconds in (("Rosa Sprint", "12.345"), (MARKUP, "10.5"), (ENTITY, "11.25"), (LONGEST, "15")):
            self.sign_up_in_form(name, PASSWORD, PASSWORD, status=201, typed="", injected=0,
                                 message=["message welcome", WELCOME.format(name)])
            # What the browser sent is what the game logs in and reports with
            self.assertEqual(self.ask("auth", name), (200, "1"))
            self.assertEqual(self.ask("report", name, seconds), (200, f"time recorded: {seconds} s for {name}"))
        self.browser.get(self.base)
        page = self.assert_page(message=None, injected=0)
        self.assertEqual([row[:3] for row in page["best"]],
                         [["1", MARKUP, "10.500 s"], ["2", ENTITY, "11.250 s"], ["3", "Rosa Sprint", "12.345 s"],
                          ["4", LONGEST, "15.000 s"]])
        self.assertEqual(page["latest"], [page["best"][place][1:] for place in (3, 1, 0, 2)])
        for row in page["best"]:
            self.assertRegex(row[3], r"^\d{4}-\d\d-\d\d \d\d:\d\d UTC$")
        self.assert_best_times_drawn(1280, 900, "leaderboard-desktop.png")
        self.assert_best_times_drawn(390, 844, "leaderboard-phone.png")
        # A section scrolls sideways on its own, hiding its table's overflow from the page: both must fit
        self.assertEqual(self.browser.execute_script(
            "return [document.documentElement, ...document.querySelectorAll('table')].map(element => {"
            "  const box = element.getBoundingClientRect(), scroller = element.closest('section') || element;"
            "  return box.left >= 0 && box.right <= innerWidth && scroller.scrollWidth <= scroller.clientWidth; });"),
            [True, True, True])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
