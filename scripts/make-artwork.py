#!/usr/bin/python3
"""Draws the game's pictures into data/ and copies its font there.

Run from the repository root:  /usr/bin/python3 scripts/make-artwork.py

Writes
  data/menuBackground.jpg   640x480  title / login screen background
  data/gameBackground.jpg   640x480  race screen background
  data/track.jpg            800x120  running-track strip (drawn scaled to 400x60)
  data/fingers.png          128x64   runner figure, RGBA, reference point at x 64
  data/vag.ttf              copy of Dosis SemiBold (fonts-dosis), with
  data/vag.ttf.LICENSE.txt  its SIL Open Font License

Everything is drawn procedurally with OpenCV and NumPy; all randomness uses
fixed seeds, so two runs give byte-identical files.  Shapes are drawn at a
multiple of the final size and reduced with INTER_AREA for smooth edges.
"""

import os
import shutil
import sys

import cv2
import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")

JPEG_QUALITY = 90
MAX_BYTES = 200 * 1024

FONT_SRC = "/usr/share/fonts/opentype/dosis/Dosis-SemiBold.otf"
FONT_COPYRIGHT = "/usr/share/doc/fonts-dosis/copyright"


# --------------------------------------------------------------------------
# Drawing helpers
# --------------------------------------------------------------------------

def rgb(c):
    return np.asarray(c, np.float32) / 255.0


class Canvas:
    """A supersampled picture with premultiplied colour and coverage.

    Coordinates given to the drawing methods are final-picture pixels
    (floats); the canvas multiplies them by the supersampling factor.
    """

    def __init__(self, w, h, ss):
        self.w, self.h, self.ss = w, h, ss
        self.W, self.H = w * ss, h * ss
        self.col = np.zeros((self.H, self.W, 3), np.float32)
        self.alpha = np.zeros((self.H, self.W), np.float32)

    # coordinates -----------------------------------------------------
    def _xf(self, pts):
        a = np.asarray(pts, np.float64).reshape(-1, 2) * self.ss * 16.0
        return np.round(a).astype(np.int32)

    def _pt(self, p):
        q = self._xf([p])[0]
        return int(q[0]), int(q[1])

    def mask(self):
        return np.zeros((self.H, self.W), np.uint8)

    def grid(self):
        """Final-pixel coordinates of every supersampled pixel centre."""
        ys, xs = np.mgrid[0:self.H, 0:self.W].astype(np.float32)
        return (xs + 0.5) / self.ss, (ys + 0.5) / self.ss

    # coverage masks --------------------------------------------------
    def m_poly(self, pts, m=None):
        m = self.mask() if m is None else m
        cv2.fillPoly(m, [self._xf(pts)], 255, cv2.LINE_AA, shift=4)
        return m

    def m_lines(self, pts, width, m=None):
        """A polyline of the given width with round joins and caps."""
        m = self.mask() if m is None else m
        t = max(1, int(round(width * self.ss)))
        for p, q in zip(pts[:-1], pts[1:]):
            cv2.line(m, self._pt(p), self._pt(q), 255, t, cv2.LINE_AA, shift=4)
        return m

    def m_disc(self, c, r, m=None):
        m = self.mask() if m is None else m
        cv2.circle(m, self._pt(c), int(round(r * self.ss * 16)), 255, -1,
                   cv2.LINE_AA, shift=4)
        return m

    def m_ellipse(self, c, axes, angle=0.0, m=None):
        m = self.mask() if m is None else m
        ax = (int(round(axes[0] * self.ss * 16)), int(round(axes[1] * self.ss * 16)))
        cv2.ellipse(m, self._pt(c), ax, angle, 0, 360, 255, -1, cv2.LINE_AA,
                    shift=4)
        return m

    # compositing -----------------------------------------------------
    def paint(self, cover, colour, alpha=1.0, blur=0.0):
        """Paints colour (RGB 0..255 or an HxWx3 float image) over the canvas
        through cover (uint8 mask or float 0..1)."""
        c = cover.astype(np.float32)
        if cover.dtype == np.uint8:
            c /= 255.0
        if blur > 0:
            c = cv2.GaussianBlur(c, (0, 0), blur * self.ss)
        c = c * alpha
        col = colour if isinstance(colour, np.ndarray) and colour.ndim == 3 \
            else rgb(colour)
        self.col = self.col * (1.0 - c[..., None]) + col * c[..., None]
        self.alpha = self.alpha * (1.0 - c) + c

    def fill(self, colour_img):
        self.col = colour_img.astype(np.float32).copy()
        self.alpha = np.ones((self.H, self.W), np.float32)

    def screen(self, light):
        """Screen blend of an HxWx3 float light image (for glows)."""
        a = self.alpha[..., None]
        self.col = 1.0 - (1.0 - self.col) * (1.0 - light * a)
        self.col = np.minimum(self.col, a)

    # output ------------------------------------------------------------
    def rgb_image(self):
        small = cv2.resize(self.col, (self.w, self.h), interpolation=cv2.INTER_AREA)
        return to_u8(small)

    def rgba_image(self, fringe=(0, 0, 0)):
        col = cv2.resize(self.col, (self.w, self.h), interpolation=cv2.INTER_AREA)
        a = cv2.resize(self.alpha, (self.w, self.h), interpolation=cv2.INTER_AREA)
        out = np.empty((self.h, self.w, 4), np.float32)
        safe = np.maximum(a, 1e-6)[..., None]
        out[..., :3] = np.where(a[..., None] > 1.0 / 512, col / safe, rgb(fringe))
        out[..., 3] = a
        return to_u8(out)


def to_u8(img):
    return np.clip(np.round(img * 255.0), 0, 255).astype(np.uint8)


def vgradient(h, w, stops):
    """Vertical gradient; stops are (y, (r, g, b)) in pixel rows of h."""
    ys = np.arange(h, dtype=np.float32) + 0.5
    sy = np.array([s[0] for s in stops], np.float32)
    out = np.empty((h, 3), np.float32)
    for ch in range(3):
        out[:, ch] = np.interp(ys, sy, [s[1][ch] / 255.0 for s in stops])
    return np.repeat(out[:, None, :], w, axis=1)


def rounded_rect(x0, y0, x1, y1, r, steps=10):
    pts = []
    for cx, cy, a0 in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0),
                       (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        for i in range(steps + 1):
            a = np.radians(a0 + 90.0 * i / steps)
            pts.append((cx + r * np.cos(a), cy + r * np.sin(a)))
    return pts


def noise(rng, h, w, sigma):
    """Smooth zero-mean noise of unit-ish amplitude."""
    n = rng.standard_normal((h, w)).astype(np.float32)
    if sigma > 0:
        n = cv2.GaussianBlur(n, (0, 0), sigma)
    return n / max(float(n.std()), 1e-6)


# --------------------------------------------------------------------------
# The sprinter (used for the runner figure and the menu picture)
# --------------------------------------------------------------------------

SKIN = (214, 150, 104)
SKIN_FAR = (166, 108, 72)
HAIR = (52, 34, 28)
SINGLET = (34, 128, 232)
SINGLET_DARK = (24, 92, 180)
SHORTS = (255, 200, 36)
SHORTS_FAR = (214, 160, 20)
SHOE_NEAR = (40, 214, 120)     # the two shoes have distinct colours,
SHOE_FAR = (232, 56, 168)      # like the player's shoes in the game
OUTLINE = (22, 26, 48)

# Joints in a 128 x 64 box; the figure faces right, its centre is x = 64.
J = dict(
    head=(76.0, 9.5), neck=(72.0, 17.5), shoulder=(70.0, 20.5), hip=(58.0, 37.0),
    knee_n=(73.5, 36.5), ankle_n=(71.0, 50.5), toe_n=(78.0, 52.0),
    knee_f=(52.5, 48.5), ankle_f=(45.5, 58.0), toe_f=(51.5, 62.0),
    elbow_n=(58.0, 25.5), hand_n=(50.5, 30.0),
    elbow_f=(80.0, 27.0), hand_f=(87.0, 19.5),
)


def draw_sprinter(cv, ox, oy, k, streaks=True, shadow=True):
    """Draws the sprinter with its 128x64 box at (ox, oy), scaled by k."""
    def P(name_or_pt):
        x, y = J[name_or_pt] if isinstance(name_or_pt, str) else name_or_pt
        return (ox + k * x, oy + k * y)

    ol = 1.5 * k  # outline width on each side

    if shadow:
        cv.paint(cv.m_ellipse(P((60.0, 62.6)), (22 * k, 1.6 * k)), (0, 0, 0),
                 alpha=0.28, blur=0.6 * k)

    if streaks:
        for (x0, x1, y, w) in ((12, 36, 24, 2.6), (7, 31, 35, 3.0), (16, 38, 46, 2.6)):
            m = cv.m_lines([P((x0, y)), P((x1, y))], w * k)
            cv.paint(m, (255, 255, 255), alpha=0.55)
            m2 = cv.m_lines([P((x0 + 3, y)), P((x1, y))], 1.0 * k)
            cv.paint(m2, (60, 110, 200), alpha=0.55)

    def limb(pts, width, colour):
        cv.paint(cv.m_lines([P(p) for p in pts], width * k + 2 * ol), OUTLINE)
        cv.paint(cv.m_lines([P(p) for p in pts], width * k), colour)

    # far arm (forward swing) and far leg (push-off), darker
    limb(["shoulder", "elbow_f", "hand_f"], 4.0, SKIN_FAR)
    cv.paint(cv.m_disc(P("hand_f"), 2.6 * k), SKIN_FAR)
    limb(["hip", "knee_f", "ankle_f"], 5.6, SKIN_FAR)
    limb(["ankle_f", "toe_f"], 4.6, SHOE_FAR)
    cv.paint(cv.m_lines([P("hip"), P((55.5, 42.0))], 7.2 * k), SHORTS_FAR)

    # torso: singlet, shorts
    torso = ["shoulder", "hip"]
    cv.paint(cv.m_lines([P(p) for p in torso], 11.0 * k + 2 * ol), OUTLINE)
    cv.paint(cv.m_disc(P("hip"), 6.6 * k + ol), OUTLINE)
    cv.paint(cv.m_lines([P(p) for p in torso], 11.0 * k), SINGLET)
    cv.paint(cv.m_lines([P((66.0, 22.5)), P((58.5, 33.0))], 3.0 * k), SINGLET_DARK,
             alpha=0.6)
    cv.paint(cv.m_disc(P("hip"), 6.6 * k), SHORTS)

    # head with hair and a headband
    cv.paint(cv.m_lines([P("neck"), P("shoulder")], 5.0 * k + 2 * ol), OUTLINE)
    cv.paint(cv.m_disc(P("head"), 6.6 * k + ol), OUTLINE)
    cv.paint(cv.m_lines([P("neck"), P("shoulder")], 5.0 * k), SKIN)
    cv.paint(cv.m_disc(P("head"), 6.6 * k), SKIN)
    hair = cv.m_disc(P((71.6, 6.6)), 5.8 * k)
    hair = np.minimum(hair, cv.m_disc(P("head"), 6.6 * k))
    cv.paint(hair, HAIR)
    band = np.minimum(cv.m_lines([P((68.0, 9.2)), P((84.0, 6.4))], 2.0 * k),
                      cv.m_disc(P("head"), 6.6 * k))
    cv.paint(band, (255, 255, 255))
    cv.paint(cv.m_disc(P((80.0, 11.0)), 0.9 * k), OUTLINE)

    # near leg (knee up) with shorts leg, near arm (back swing)
    limb(["hip", "knee_n", "ankle_n"], 6.0, SKIN)
    limb(["ankle_n", "toe_n"], 4.8, SHOE_NEAR)
    cv.paint(cv.m_disc(P("hip"), 6.6 * k), SHORTS)
    cv.paint(cv.m_lines([P("hip"), P((65.0, 36.8))], 7.6 * k), SHORTS)
    cv.paint(cv.m_lines([P((65.6, 33.4)), P((65.6, 40.2))], 1.0 * k), OUTLINE, alpha=0.8)
    cv.paint(cv.m_lines([P((72.3, 53.2)), P((77.5, 53.8))], 1.2 * k), (250, 250, 250))
    limb(["shoulder", "elbow_n", "hand_n"], 4.2, SKIN)
    cv.paint(cv.m_disc(P("hand_n"), 2.7 * k), SKIN)


# --------------------------------------------------------------------------
# fingers.png: the runner figure
# --------------------------------------------------------------------------

def make_runner():
    cv = Canvas(128, 64, 4)
    draw_sprinter(cv, 0.0, 0.0, 1.0)
    return cv.rgba_image(fringe=OUTLINE)


# --------------------------------------------------------------------------
# track.jpg: the track strip seen from above
# --------------------------------------------------------------------------

def make_track():
    W, H = 800, 120
    rng = np.random.default_rng(20080101)
    cv = Canvas(W, H, 1)
    base = vgradient(H, W, [(0, (196, 82, 58)), (60, (204, 88, 62)), (120, (188, 76, 54))])
    grain = noise(rng, H, W, 0.7)[..., None] * 0.035
    blotch = noise(rng, H, W, 9.0)[..., None] * 0.025
    cv.fill(np.clip(base * (1.0 + grain + blotch), 0, 1))

    white = (246, 244, 238)
    lanes = 4
    edge = 4.0
    ys = [edge + i * (H - 2 * edge) / lanes for i in range(lanes + 1)]
    for y in ys:
        cv.paint(cv.m_poly([(0, y - 1.6), (W, y - 1.6), (W, y + 1.6), (0, y + 1.6)]), white)
    # outer kerbs
    cv.paint(cv.m_poly([(0, 0), (W, 0), (W, 2.2), (0, 2.2)]), (235, 235, 235))
    cv.paint(cv.m_poly([(0, H - 2.2), (W, H - 2.2), (W, H), (0, H)]), (235, 235, 235))

    # distance marks every tenth of the race on each lane line
    for i in range(1, 10):
        x = 8 + i * (W - 40) / 10.0
        for y in ys:
            cv.paint(cv.m_poly([(x - 1.5, y - 6), (x + 1.5, y - 6), (x + 1.5, y + 6),
                                (x - 1.5, y + 6)]), white, alpha=0.85)

    # start line with a starting block in every lane, and lane numbers
    cv.paint(cv.m_poly([(6, 0), (12, 0), (12, H), (6, H)]), white)
    for i in range(lanes):
        yc = (ys[i] + ys[i + 1]) / 2.0
        for dy in (-6.0, 6.0):
            cv.paint(cv.m_poly([(17, yc + dy - 2.5), (27, yc + dy - 2.5),
                                (27, yc + dy + 2.5), (17, yc + dy + 2.5)]), (40, 48, 70))
        cv.paint(cv.m_lines([(17, yc - 6), (17, yc + 6)], 2.0), (40, 48, 70))
        m = cv.mask()
        txt = str(i + 1)
        (tw, th), _ = cv2.getTextSize(txt, cv2.FONT_HERSHEY_DUPLEX, 0.62, 2)
        cv2.putText(m, txt, (int(40 - tw / 2), int(yc + th / 2)), cv2.FONT_HERSHEY_DUPLEX,
                    0.62, 255, 2, cv2.LINE_AA)
        cv.paint(m, white, alpha=0.92)

    # finish: white line and a chequered band at the right end
    cv.paint(cv.m_poly([(W - 34, 0), (W - 28, 0), (W - 28, H), (W - 34, H)]), white)
    sq = (H - 4.0) / 10.0
    for r in range(10):
        for c in range(3):
            x0 = W - 27 + c * 9.0
            y0 = 2.0 + r * sq
            colour = white if (r + c) % 2 == 0 else (24, 26, 34)
            cv.paint(cv.m_poly([(x0, y0), (x0 + 9, y0), (x0 + 9, y0 + sq), (x0, y0 + sq)]),
                     colour)
    return cv.rgb_image()


# --------------------------------------------------------------------------
# Shared stadium pieces
# --------------------------------------------------------------------------

CROWD = [(230, 70, 60), (250, 210, 70), (70, 130, 230), (245, 245, 240), (60, 170, 90),
         (240, 140, 50), (150, 80, 170), (40, 45, 60), (230, 120, 160), (90, 200, 220)]


def crowd_layer(cv, rng, rows, dot, base_seats, light=1.0):
    """An image of seat rows with spectators; rows: list of (y0, y1, x0, x1)
    in final pixels. Returns an HxWx3 float image (the caller masks it)."""
    img = np.zeros((cv.H, cv.W, 3), np.uint8)
    img[:] = to_u8(rgb(base_seats))
    ss = cv.ss
    palette = np.array(CROWD, np.float32)
    for (y0, y1, x0, x1) in rows:
        # seat row band: darker step edge at the bottom
        cv2.rectangle(img, (int(x0 * ss), int((y1 - 0.18 * (y1 - y0)) * ss)),
                      (int(x1 * ss), int(y1 * ss)),
                      tuple(int(v * 0.55) for v in base_seats), -1)
        h = y1 - y0
        n = int((x1 - x0) / (dot * 1.15))
        xs = x0 + (np.arange(n) + rng.uniform(0.1, 0.9, n)) * (x1 - x0) / n
        present = rng.uniform(0, 1, n) < 0.86
        cols = palette[rng.integers(0, len(palette), n)]
        shade = rng.uniform(0.7, 1.0, n)
        for x, p, c, s in zip(xs, present, cols, shade):
            if not p:
                continue
            cy = y0 + 0.55 * h + rng.uniform(-0.08, 0.05) * h
            body = tuple(int(v * s * light) for v in c)
            cv2.ellipse(img, (int(x * ss), int((cy + 0.28 * h) * ss)),
                        (max(1, int(dot * 0.55 * ss)), max(1, int(0.32 * h * ss))), 0, 180, 360,
                        body, -1, cv2.LINE_AA)
            skin = tuple(int(v * s * light) for v in
                         ((214, 160, 120) if rng.uniform() < 0.6 else (150, 100, 70)))
            cv2.circle(img, (int(x * ss), int((cy - 0.05 * h) * ss)),
                       max(1, int(dot * 0.36 * ss)), skin, -1, cv2.LINE_AA)
    return img.astype(np.float32) / 255.0


def floodlight(cv, x, y_top, y_base, bank_w, bank_h, lights_x, lights_y):
    pole = (40, 44, 60)
    cv.paint(cv.m_poly([(x - 2.2, y_base), (x + 2.2, y_base), (x + 1.2, y_top),
                        (x - 1.2, y_top)]), pole)
    for i in range(6):  # lattice
        ya = y_base - (y_base - y_top) * i / 6.0
        yb = y_base - (y_base - y_top) * (i + 1) / 6.0
        cv.paint(cv.m_lines([(x - 1.8, ya), (x + 1.6, yb)], 0.6), (70, 76, 96))
    x0, y0 = x - bank_w / 2.0, y_top - bank_h
    cv.paint(cv.m_poly([(x0 - 1, y0 - 1), (x0 + bank_w + 1, y0 - 1),
                        (x0 + bank_w + 1, y0 + bank_h + 1), (x0 - 1, y0 + bank_h + 1)]), pole)
    m = cv.mask()
    for i in range(lights_x):
        for j in range(lights_y):
            cx = x0 + (i + 0.5) * bank_w / lights_x
            cy = y0 + (j + 0.5) * bank_h / lights_y
            cv.m_disc((cx, cy), 0.36 * min(bank_w / lights_x, bank_h / lights_y), m)
    cv.paint(m, (255, 252, 230))
    # glow
    glow = cv.mask()
    cv.m_ellipse((x, y0 + bank_h / 2.0), (bank_w * 0.8, bank_h * 1.3), 0, glow)
    g = cv2.GaussianBlur(glow.astype(np.float32) / 255.0, (0, 0), bank_w * 0.9 * cv.ss)
    g2 = cv2.GaussianBlur(glow.astype(np.float32) / 255.0, (0, 0), bank_w * 0.25 * cv.ss)
    light = (0.55 * g + 0.6 * g2)[..., None] * rgb((255, 236, 190))
    cv.screen(np.clip(light, 0, 1))


# --------------------------------------------------------------------------
# menuBackground.jpg
# --------------------------------------------------------------------------

def make_menu():
    W, H, ss = 640, 480, 2
    rng = np.random.default_rng(4242)
    cv = Canvas(W, H, ss)
    gx, gy = cv.grid()

    # dusk sky: deep blue above the title, a warm glow over the stands
    sky = vgradient(cv.H, cv.W, [(0, (14, 20, 62)), (110 * ss, (34, 52, 118)),
                                 (175 * ss, (92, 84, 140)), (215 * ss, (226, 134, 96)),
                                 (240 * ss, (250, 186, 118))])
    d = np.sqrt(((gx - 470.0) / 260.0) ** 2 + ((gy - 232.0) / 120.0) ** 2)
    sky += (np.exp(-d * d) * 0.22)[..., None] * rgb((255, 150, 80))
    cv.fill(np.clip(sky, 0, 1))
    for _ in range(70):  # a few stars high up
        x, y = rng.uniform(0, W), rng.uniform(0, 95)
        cv.paint(cv.m_disc((x, y), rng.uniform(0.35, 0.8)), (255, 250, 235),
                 alpha=float(rng.uniform(0.25, 0.7)) * (1.0 - y / 120.0))

    VP = (480.0, 232.0)

    # far grandstand across the field
    roof = [(-5, 176), (W + 5, 176), (W + 5, 188), (-5, 188)]
    rows = [(188 + i * 5.0, 188 + (i + 1) * 5.0, -5, W + 5) for i in range(8)]
    img = crowd_layer(cv, rng, rows, 2.6, (40, 56, 96), light=0.9)
    band = cv.m_poly([(-5, 186), (W + 5, 186), (W + 5, 230), (-5, 230)])
    cv.paint(band, img)
    # floodlit haze over the far stand
    haze = np.clip((gy - 186.0) / 44.0, 0, 1)
    cv.paint((band.astype(np.float32) / 255.0) * (1 - haze) * 0.35, (255, 210, 160))
    cv.paint(cv.m_poly(roof), (30, 34, 56))
    cv.paint(cv.m_poly([(-5, 186.5), (W + 5, 186.5), (W + 5, 188.5), (-5, 188.5)]),
             (250, 220, 170), alpha=0.8)
    # advertising wall of the far side
    for i in range(12):
        x0 = i * 56.0 - 10
        colour = [(28, 70, 150), (240, 240, 236), (28, 120, 110), (236, 180, 40)][i % 4]
        cv.paint(cv.m_poly([(x0, 229), (x0 + 55, 229), (x0 + 55, 236), (x0, 236)]), colour)

    # infield grass below the horizon
    grass = vgradient(cv.H, cv.W, [(232 * ss, (46, 110, 58)), (480 * ss, (70, 150, 70))])
    cv.paint(cv.m_poly([(-5, 235), (W + 5, 235), (W + 5, H + 5), (-5, H + 5)]), grass)

    # the straight in perspective, lines converging at VP
    def ray(xb, yb=H):
        return (xb, yb)

    def on_ray(end, t):
        return (VP[0] + t * (end[0] - VP[0]), VP[1] + t * (end[1] - VP[1]))

    lanes = 8
    ends = [(-140.0 + i * 200.0, float(H)) for i in range(lanes + 1)]
    track_poly = [on_ray(ends[0], 0.02), ends[0], ends[-1], on_ray(ends[-1], 0.02)]
    tm = cv.m_poly(track_poly)
    tart = vgradient(cv.H, cv.W, [(232 * ss, (150, 70, 62)), (300 * ss, (186, 78, 56)),
                                  (480 * ss, (206, 88, 60))])
    tart *= (1.0 + 0.05 * noise(rng, cv.H, cv.W, 0.8 * ss))[..., None]
    cv.paint(tm, np.clip(tart, 0, 1))
    for e in ends:
        wb = 5.0
        cv.paint(cv.m_poly([on_ray(e, 0.02), (e[0] - wb, e[1]), (e[0] + wb, e[1])]),
                 (245, 243, 236), alpha=0.95)
    # finish line across the lanes, chequered
    for j, (t0, t1) in enumerate(((0.27, 0.285), (0.285, 0.30))):
        for i in range(lanes * 4):
            a, b = i / (lanes * 4.0), (i + 1) / (lanes * 4.0)
            e0 = (ends[0][0] + a * (ends[-1][0] - ends[0][0]), H)
            e1 = (ends[0][0] + b * (ends[-1][0] - ends[0][0]), H)
            colour = (245, 243, 236) if (i + j) % 2 == 0 else (30, 30, 40)
            cv.paint(cv.m_poly([on_ray(e0, t0), on_ray(e1, t0), on_ray(e1, t1),
                                on_ray(e0, t1)]), colour)
    # warm light on the track from the sunset side
    light = np.exp(-(((gx - 470.0) / 300.0) ** 2 + ((gy - 240.0) / 160.0) ** 2))
    cv.screen((light * 0.18)[..., None] * rgb((255, 170, 110)))

    # near grandstand along the straight (right of the track)
    wall0, wall1, seat1, roof1 = (640, 282.0), (640, 262.0), (640, 132.0), (640, 112.0)

    def ray_pt(end, x):
        t = (x - VP[0]) / (end[0] - VP[0])
        return (x, VP[1] + t * (end[1] - VP[1]))

    xa, xb = VP[0] + 4, W + 40
    stand = cv.m_poly([ray_pt(wall1, xa), ray_pt(wall1, xb), ray_pt(seat1, xb),
                       ray_pt(seat1, xa)])
    # seats: rows converge to VP; draw them in the picture plane
    img = np.zeros((cv.H, cv.W, 3), np.float32)
    img[:] = rgb((36, 56, 104))
    t = np.clip((gx - VP[0]) / (W - VP[0]), 1e-3, None)
    yw = VP[1] + t * (wall1[1] - VP[1])
    ys = VP[1] + t * (seat1[1] - VP[1])
    v = (yw - gy) / np.maximum(yw - ys, 1e-3)          # 0 at the wall, 1 at the top
    rowf = v * 22.0
    stripe = (np.mod(rowf, 1.0) > 0.8).astype(np.float32)
    n1 = noise(rng, cv.H, cv.W, 0.9 * ss)
    n2 = noise(rng, cv.H, cv.W, 1.4 * ss)
    hue = np.stack([n1, n2, -n1 - 0.5 * n2], -1)
    crowd = rgb((120, 110, 120)) + 0.22 * hue
    crowd = crowd * (0.75 + 0.25 * v)[..., None]
    img = np.where((stripe > 0.5)[..., None], img * 0.6, crowd)
    cv.paint(stand, np.clip(img, 0, 1))
    cv.paint(cv.m_poly([ray_pt(wall0, xa), ray_pt(wall0, xb), ray_pt(wall1, xb),
                        ray_pt(wall1, xa)]), (26, 60, 140))
    cv.paint(cv.m_poly([ray_pt(wall0, xa), ray_pt(wall0, xb),
                        ray_pt((640, 279.0), xb), ray_pt((640, 279.0), xa)]), (240, 240, 236))
    cv.paint(cv.m_poly([ray_pt(seat1, xa), ray_pt(seat1, xb), ray_pt(roof1, xb),
                        ray_pt(roof1, xa)]), (30, 34, 56))

    floodlight(cv, 606, 46, 122, 34, 18, 5, 3)
    floodlight(cv, 536, 92, 157, 20, 10, 4, 2)

    # hero sprinter in the left foreground
    draw_sprinter(cv, -62.0, 262.0, 3.2)

    # glass scoreboard panel behind the menu entries and login fields
    x0, y0, x1, y1 = 234.0, 172.0, 634.0, 446.0
    shadow = cv.m_poly(rounded_rect(x0 + 3, y0 + 5, x1 + 3, y1 + 5, 16))
    cv.paint(shadow, (0, 0, 0), alpha=0.45, blur=5.0)
    blurred = cv2.GaussianBlur(cv.col, (0, 0), 12.0 * ss)
    glass = vgradient(cv.H, cv.W, [(y0 * ss, (72, 110, 180)), (y1 * ss, (50, 82, 150))])
    content = 0.7 * glass + 0.3 * blurred
    panel = cv.m_poly(rounded_rect(x0, y0, x1, y1, 16))
    cv.paint(panel, content)
    sheen = np.clip(1.0 - (gy - y0) / 60.0, 0, 1) * 0.08
    cv.paint((panel.astype(np.float32) / 255.0) * sheen, (255, 255, 255))
    border = cv.mask()
    cv2.polylines(border, [cv._xf(rounded_rect(x0, y0, x1, y1, 16))], True, 255,
                  int(1.5 * ss), cv2.LINE_AA, shift=4)
    cv.paint(border, (200, 222, 255), alpha=0.75)
    return cv.rgb_image()


# --------------------------------------------------------------------------
# gameBackground.jpg
# --------------------------------------------------------------------------

def make_game():
    W, H, ss = 640, 480, 2
    rng = np.random.default_rng(1000)
    cv = Canvas(W, H, ss)
    gx, gy = cv.grid()

    sky = vgradient(cv.H, cv.W, [(0, (110, 170, 232)), (40 * ss, (176, 214, 244))])
    cv.fill(sky)
    # soft clouds
    for (x, y, a) in ((60, 12, 40), (560, 9, 50), (330, 14, 60)):
        cv.paint(cv.m_ellipse((x, y), (a, 7)), (255, 255, 255), alpha=0.55, blur=4)

    # grandstand, blurred like a background out of focus
    rows = [(44 + i * 12.0, 44 + (i + 1) * 12.0, -5, W + 5) for i in range(16)]
    img = crowd_layer(cv, rng, rows, 6.0, (44, 70, 128), light=0.85)
    stand = cv.mask()
    cv2.rectangle(stand, (0, 40 * ss), (cv.W, 237 * ss), 255, -1)
    # stairways
    for x in range(-20, W + 40, 132):
        cv2.rectangle(img, (int((x - 6) * ss), 44 * ss), (int((x + 6) * ss), 236 * ss),
                      (0.32, 0.34, 0.40), -1)
    img = cv2.GaussianBlur(img, (0, 0), 2.2 * ss)
    # shade: darker under the roof and near the texts at the top
    shade = 0.72 + 0.2 * np.clip((gy - 44.0) / 190.0, 0, 1)
    cv.paint(stand, np.clip(img * shade[..., None], 0, 1))
    # roof with its front edge
    cv.paint(cv.m_poly([(-5, 24), (W + 5, 20), (W + 5, 44), (-5, 46)]), (56, 66, 92))
    cv.paint(cv.m_poly([(-5, 42), (W + 5, 40), (W + 5, 44), (-5, 46)]), (150, 164, 190))
    for x in range(40, W, 160):
        cv.paint(cv.m_poly([(x - 3, 45), (x + 3, 45), (x + 3, 237), (x - 3, 237)]),
                 (46, 54, 76), alpha=0.8, blur=1.0)

    # advertising boards
    for i in range(9):
        x0 = i * 76.0 - 20
        colour = [(24, 52, 112), (20, 80, 96), (28, 44, 92)][i % 3]
        cv.paint(cv.m_poly([(x0, 236), (x0 + 74, 236), (x0 + 74, 258), (x0, 258)]), colour)
        cv.paint(cv.m_poly([(x0 + 8, 246), (x0 + 66, 244), (x0 + 66, 247), (x0 + 8, 249)]),
                 (140, 190, 230), alpha=0.5)
    cv.paint(cv.m_poly([(-5, 235), (W + 5, 235), (W + 5, 237.5), (-5, 237.5)]),
             (200, 210, 226))

    # far straight of the track
    tart = vgradient(cv.H, cv.W, [(258 * ss, (176, 74, 56)), (283 * ss, (200, 88, 62))])
    tart *= (1.0 + 0.04 * noise(rng, cv.H, cv.W, 0.7 * ss))[..., None]
    cv.paint(cv.m_poly([(-5, 258), (W + 5, 258), (W + 5, 283), (-5, 283)]),
             np.clip(tart, 0, 1))
    for i, y in enumerate((259.5, 265.0, 271.0, 277.5)):
        cv.paint(cv.m_poly([(-5, y - 0.5 - 0.1 * i), (W + 5, y - 0.5 - 0.1 * i),
                            (W + 5, y + 0.5 + 0.1 * i), (-5, y + 0.5 + 0.1 * i)]),
                 (245, 243, 236), alpha=0.9)

    # pale infield grass with mowing stripes (calm, light: black texts go here)
    grass = vgradient(cv.H, cv.W, [(283 * ss, (178, 216, 140)), (480 * ss, (158, 204, 122))])
    ang = np.arctan2(gx - 320.0, gy + 260.0)
    stripes = np.where(np.mod(ang * 9.0, 1.0) < 0.5, 1.03, 0.97)
    stripes = cv2.GaussianBlur(stripes.astype(np.float32), (0, 0), 1.0 * ss)
    grass = grass * stripes[..., None] * (1.0 + 0.012 * noise(rng, cv.H, cv.W, 0.6 * ss))[..., None]
    cv.paint(cv.m_poly([(-5, 283), (W + 5, 283), (W + 5, H + 5), (-5, H + 5)]),
             np.clip(grass, 0, 1))
    cv.paint(cv.m_poly([(-5, 283), (W + 5, 283), (W + 5, 285.5), (-5, 285.5)]),
             (246, 246, 240))
    # gentle vignette
    v = ((gx - 320.0) / 420.0) ** 2 + ((gy - 240.0) / 360.0) ** 2
    cv.col *= (1.0 - 0.18 * np.clip(v, 0, 1))[..., None]
    return cv.rgb_image()


# --------------------------------------------------------------------------
# Font
# --------------------------------------------------------------------------

def copy_font():
    """Copies the font and writes its licence. Returns False when the source
    font is not installed (the files already in data/ are then kept)."""
    if not os.path.exists(FONT_SRC):
        print("font source %s not found; data/vag.ttf left as it is" % FONT_SRC)
        return False
    shutil.copyfile(FONT_SRC, os.path.join(DATA, "vag.ttf"))
    # The package's copyright file holds the licence as an indented block after
    # "License: OFL-1.1", with " ." for each empty line.
    with open(FONT_COPYRIGHT, encoding="utf-8") as f:
        lines = f.read().split("\n")
    start = next(i for i, line in enumerate(lines) if line.startswith("License: OFL-1.1"))
    block = []
    for line in lines[start + 1:]:
        if not line.startswith(" "):
            break
        block.append("" if line.strip() == "." else line[1:])
    ofl = "\n".join(block).rstrip() + "\n"
    head = ("data/vag.ttf is an unmodified copy of %s\n"
            "(Dosis SemiBold, Debian package fonts-dosis), kept under the file\n"
            "name the game loads.\n"
            "Copyright (c) 2011, Edgar Tolentino and Pablo Impallari; Copyright (c)\n"
            "2011, Igino Marini. Licensed under the SIL Open Font License, Version 1.1,\n"
            "with the Reserved Font Name \"Dosis\"; the licence follows.\n\n"
            % os.path.basename(FONT_SRC))
    with open(os.path.join(DATA, "vag.ttf.LICENSE.txt"), "w", encoding="utf-8") as f:
        f.write(head + ofl)
    return True


# --------------------------------------------------------------------------
# Main
# --------------------------------------------------------------------------

def write(name, img):
    path = os.path.join(DATA, name)
    if name.endswith(".png"):
        out = cv2.cvtColor(img, cv2.COLOR_RGBA2BGRA)
        ok = cv2.imwrite(path, out, [cv2.IMWRITE_PNG_COMPRESSION, 9])
    else:
        out = cv2.cvtColor(img, cv2.COLOR_RGB2BGR)
        ok = cv2.imwrite(path, out, [cv2.IMWRITE_JPEG_QUALITY, JPEG_QUALITY])
    if not ok:
        raise SystemExit("could not write " + path)
    return path


def check(name, width, height, channels):
    """Reads a written file back and checks its size and file size."""
    path = os.path.join(DATA, name)
    img = cv2.imread(path, cv2.IMREAD_UNCHANGED)
    assert img is not None, name + " cannot be read back"
    h, w = img.shape[:2]
    c = 1 if img.ndim == 2 else img.shape[2]
    assert (w, h, c) == (width, height, channels), \
        "%s is %dx%dx%d, expected %dx%dx%d" % (name, w, h, c, width, height, channels)
    size = os.path.getsize(path)
    assert size <= MAX_BYTES, "%s is %d bytes, more than %d" % (name, size, MAX_BYTES)
    assert float(img[..., :3].std()) > 10.0, name + " is nearly a flat colour"
    return img, size


def main():
    os.makedirs(DATA, exist_ok=True)
    write("fingers.png", make_runner())
    write("track.jpg", make_track())
    write("menuBackground.jpg", make_menu())
    write("gameBackground.jpg", make_game())
    font_copied = copy_font()

    # sanity checks on what was written
    check("menuBackground.jpg", 640, 480, 3)
    check("gameBackground.jpg", 640, 480, 3)
    track, _ = check("track.jpg", 800, 120, 3)
    assert track.shape[1] * 60 == track.shape[0] * 400, "track must scale to 400x60"
    runner, _ = check("fingers.png", 128, 64, 4)
    a = runner[..., 3]
    assert a[0, 0] == 0 and a[0, -1] == 0 and a[-1, 0] == 0 and a[-1, -1] == 0, \
        "runner corners must be transparent"
    assert 0.05 < float((a > 0).mean()) < 0.6, "runner coverage is implausible"
    partial = ((a > 0) & (a < 255)).sum()
    assert partial > 100, "runner edges are not antialiased"
    # reference point: the figure (opaque pixels, streaks excluded) is centred at x 64
    body = np.where((a > 200).any(axis=0))[0]
    body = body[body >= 40]
    centre = (body.min() + body.max()) / 2.0
    assert abs(centre - 64.0) <= 4.0, "runner figure centred at %.1f, not 64" % centre
    assert (a[:, :4] == 0).all() and (a[:, -4:] == 0).all(), "runner touches the sides"
    if font_copied:
        with open(FONT_SRC, "rb") as f1, open(os.path.join(DATA, "vag.ttf"), "rb") as f2:
            assert f1.read() == f2.read(), "font copy differs from its source"
        with open(os.path.join(DATA, "vag.ttf.LICENSE.txt"), encoding="utf-8") as f:
            lic = f.read()
        assert "SIL OPEN FONT LICENSE Version 1.1" in lic and "Copyright" in lic
    for name in sorted(os.listdir(DATA)):
        print("%-24s %8d bytes" % (name, os.path.getsize(os.path.join(DATA, name))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
