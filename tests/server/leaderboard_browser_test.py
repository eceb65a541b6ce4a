"""The score server's home page as a player meets it, in headless Chromium. Arguments: SCREENSHOT_FOLDER."""
import os
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import urlencode
from urllib.request import urlopen

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

PUBLIC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "server", "public")
# This machine has no network: whatever would reach out is turned off.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]
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
        os.makedirs(sys.argv[1], exist_ok=True)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in FLAGS + ["--user-data-dir=" + cls.enterClassContext(tempfile.TemporaryDirectory())]:
            options.add_argument(flag)
        cls.browser = cls.enterClassContext(webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options))
        cls.browser.implicitly_wait(10)

    def setUp(self):
        env = dict(os.environ, STOMPATHON_SCORES_DB=os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "s"))
        if "PGHOST" in env:  # under pg_virtualenv: its throw-away database is the store
            env.update(STOMPATHON_SCORES_DSN="pgsql:host={PGHOST};port={PGPORT};dbname={PGDATABASE}".format(**env),
                       STOMPATHON_SCORES_USER=env["PGUSER"], STOMPATHON_SCORES_PASSWORD=env["PGPASSWORD"])
        server = subprocess.Popen(["php", "-q", "-S", "127.0.0.1:0", "-t", PUBLIC], stderr=subprocess.PIPE,
                                  env=env, text=True)
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

    def show_at(self, width, height, screenshot):
        metrics = {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False}
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
        self.browser.get(self.base)
        self.browser.save_screenshot(os.path.join(sys.argv[1], screenshot))  # kept for a person to look at
        # A section scrolls sideways on its own, hiding its table's overflow from the page: both must fit
        self.assertEqual(self.browser.execute_script(
            "return [document.documentElement, ...document.querySelectorAll('table')].map(element => {"
            "  const box = element.getBoundingClientRect(), scroller = element.closest('section') || element;"
            "  return box.left >= 0 && box.right <= innerWidth && scroller.scrollWidth <= scroller.clientWidth; });"),
            [True, True, True], screenshot)

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
        self.show_at(1280, 900, "leaderboard-desktop.png")
        self.show_at(390, 844, "leaderboard-phone.png")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
