#!/usr/bin/python3
"""Makes a replay recording for the camera: a synthetic scene of two feet.

A textured, low-saturation background with two shoe-sized patches of clearly
different colours on one horizontal line. The patches stand still first (as
the player does on the starting blocks during the countdown), then move back
and forth sideways in opposite phase, as feet running on the spot do. The
output is deterministic: the same arguments give the same frames.

    /usr/bin/python3 scripts/make-replay-recording.py out.avi
    /usr/bin/python3 scripts/make-replay-recording.py out.avi --size 640x480 --fps 30 \\
        --still 5 --run 6

Play it as the camera with STOMPATHON_CAMERA=out.avi. The colours are written
as R,G,B so tests can look for them (MJPEG is lossy: allow a small tolerance).
"""

import argparse
import sys

import cv2
import numpy as np

LEFT_SHOE_RGB = (230, 40, 40)     # red
RIGHT_SHOE_RGB = (40, 90, 230)    # blue
SEED = 2718


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="the recording to write (an MJPEG .avi)")
    parser.add_argument("--size", default="320x240", help="WIDTHxHEIGHT (default 320x240)")
    parser.add_argument("--fps", type=float, default=30.0, help="frames a second (default 30)")
    parser.add_argument("--still", type=float, default=4.0, help="seconds standing still (default 4)")
    parser.add_argument("--run", type=float, default=6.0, help="seconds running on the spot (default 6)")
    parser.add_argument("--stride-period", type=float, default=0.6,
                        help="seconds for one back-and-forth of a foot (default 0.6)")
    args = parser.parse_args(argv)
    try:
        width, height = (int(v) for v in args.size.lower().split("x"))
    except ValueError:
        parser.error("--size must look like 320x240")
    if width < 32 or height < 24 or args.fps <= 0 or args.still < 0 or args.run < 0:
        parser.error("size at least 32x24, a positive frame rate and no negative durations")
    return args, width, height


def background(width, height):
    """Grey-beige floor boards with seeded grain: texture, but no shoe colour."""
    rng = np.random.RandomState(SEED)
    y, x = np.mgrid[0:height, 0:width].astype(np.float32)
    boards = 20 * np.sin(2 * np.pi * y / max(height / 6.0, 1)) + 10 * np.sin(2 * np.pi * x / max(width / 3.0, 1))
    grain = rng.normal(0, 8, (height, width)).astype(np.float32)
    level = np.clip(120 + boards + grain, 0, 255)
    bgr = np.dstack([level * 0.92, level, level * 1.05])
    return np.clip(bgr, 0, 255).astype(np.uint8)


def foot_offsets(t, args, width):
    """Sideways offsets of the two feet at time t: zero while standing still."""
    if t < args.still:
        return 0, 0
    amplitude = 0.08 * width
    phase = 2 * np.pi * (t - args.still) / args.stride_period
    swing = amplitude * np.sin(phase)
    return int(round(swing)), int(round(-swing))


def draw_shoe(frame, centre_x, centre_y, width, height, rgb):
    shoe_w, shoe_h = max(4, width // 8), max(3, height // 14)
    top_left = (centre_x - shoe_w // 2, centre_y - shoe_h // 2)
    bottom_right = (centre_x + shoe_w // 2, centre_y + shoe_h // 2)
    cv2.rectangle(frame, top_left, bottom_right, (rgb[2], rgb[1], rgb[0]), thickness=-1)


def main(argv):
    args, width, height = parse_args(argv)
    writer = cv2.VideoWriter(args.output, cv2.VideoWriter_fourcc(*"MJPG"), args.fps, (width, height))
    if not writer.isOpened():
        print("cannot write %s" % args.output)
        return 1
    floor = background(width, height)
    line_y = int(height * 0.75)
    left_x, right_x = int(width * 0.38), int(width * 0.62)
    frames = int(round((args.still + args.run) * args.fps))
    for i in range(frames):
        frame = floor.copy()
        left_dx, right_dx = foot_offsets(i / args.fps, args, width)
        draw_shoe(frame, left_x + left_dx, line_y, width, height, LEFT_SHOE_RGB)
        draw_shoe(frame, right_x + right_dx, line_y, width, height, RIGHT_SHOE_RGB)
        writer.write(frame)
    writer.release()
    print("wrote %s: %d frames of %dx%d at %g fps" % (args.output, frames, width, height, args.fps))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
