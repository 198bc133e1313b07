#!/usr/bin/env python3
"""Follows the objects a memory knows in a live camera or stream and shows them, Lanescope-style, until ESC
or the stream's end; without a display it prints the tracks (MOTChallenge lines) instead.

    python3 follow_camera.py 0 am.dat                       # camera 0
    python3 follow_camera.py rtsp://host/stream am.dat      # any URL or file cv2 opens
    python3 follow_camera.py 0 am.dat --upside-down         # a memory made by Lanescope or its teacher
"""

import argparse
import os
import sys

import cv2

import lanescope


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("source", help="a camera number, a stream URL or a video file")
    parser.add_argument("memory", help="the memory file")
    parser.add_argument("--upside-down", action="store_true", help="the memory file was made by the programs")
    parser.add_argument("--frames", type=int, default=0, help="stop after this many frames (0: never)")
    parser.add_argument("--no-window", action="store_true", help="print the tracks instead of showing them")
    args = parser.parse_args()

    capture = cv2.VideoCapture(int(args.source) if args.source.isdigit() else args.source)
    if not capture.isOpened():
        sys.exit("cannot open " + args.source)
    window = not args.no_window and bool(os.environ.get("DISPLAY"))
    tracker = lanescope.Tracker(lanescope.Memory.load(args.memory), upside_down=args.upside_down)
    number = 0
    while args.frames == 0 or number < args.frames:
        ok, frame = capture.read()
        if not ok:
            break
        number += 1
        tracks = tracker.track(frame)
        if not window:
            for track in tracks:
                print(lanescope.track_row(number, track), flush=True)
            continue
        for track in tracks:
            x, y, w, h = track.box
            cv2.rectangle(frame, (x, y), (x + w, y + h), (255, 0, 0), 2)
            cv2.putText(frame, f"Type{track.type} #{track.id}", (x + 10, y + h + 24), cv2.FONT_HERSHEY_DUPLEX,
                        1.0, (0, 255, 255), 2)
        cv2.imshow("Result", frame)
        if cv2.waitKey(1) & 255 == 27:
            break


if __name__ == "__main__":
    main()
