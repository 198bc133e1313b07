#!/usr/bin/env python3
"""Teaches a memory the objects of a MOTChallenge ground-truth file in the first frames of any video OpenCV
can read (AVI, MP4, MKV, ...), tracks them through the whole video, and writes a MOTChallenge tracks file
and a picture of the trajectories over the first frame.

    python3 track_video.py video.mp4 video_gt.txt tracks.txt trajectories.png [--teach-frames 20]

The frames are taught and tracked upright, as cv2 reads them, so the memory is an upright one: --save keeps
it at the end for this package (not for Lanescope, which turns its frames upside down). --memory uses a memory file
instead of teaching; add --upside-down for one that Lanescope or LanescopeTeacher made.
"""

import argparse
import collections
import statistics
import sys

import cv2
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402 (the back end is chosen first)

import lanescope  # noqa: E402


def read_truth(path):
    """Ground-truth boxes by frame (from 1): [(id, (x, y, w, h), class)], flag-0 boxes left out."""
    boxes = collections.defaultdict(list)
    with open(path) as f:
        for line in f:
            fields = line.strip().split(",")
            if len(fields) < 6 or not fields[0].strip().lstrip("-").isdigit():
                continue
            frame, ident = int(fields[0]), int(float(fields[1]))
            box = tuple(int(round(float(v))) for v in fields[2:6])
            flag = int(float(fields[6])) if len(fields) > 6 else 1
            kind = int(float(fields[7])) if len(fields) > 7 else 1
            if flag != 0:
                boxes[frame].append((ident, box, kind if 1 <= kind <= 256 else 1))
    return boxes


def teach(video, truth, frames):
    """A memory taught every box of the first frames, its area the boxes' median size (sides at least 40)."""
    taught = [box for n in range(1, frames + 1) for _, box, _ in truth.get(n, [])]
    if not taught:
        sys.exit("no ground-truth box in the first %d frames" % frames)
    width = max(40, int(statistics.median(b[2] for b in taught)))
    height = max(40, int(statistics.median(b[3] for b in taught)))
    memory = lanescope.Memory.create(width, height)
    capture = cv2.VideoCapture(video)
    for number in range(1, frames + 1):
        ok, frame = capture.read()
        if not ok:
            break
        rows, cols = frame.shape[:2]
        for _, (x, y, w, h), kind in truth.get(number, []):
            # Lanescope teaches an area of the memory's size centred on the object, as a click on it would.
            area = (x + w // 2 - width // 2, y + h // 2 - height // 2, width, height)
            if area[0] >= 0 and area[1] >= 0 and area[0] + width <= cols and area[1] + height <= rows:
                memory.teach(frame, area, kind)
    return memory


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("video")
    parser.add_argument("truth", help="MOTChallenge ground truth of the video")
    parser.add_argument("tracks", help="the MOTChallenge tracks file to write")
    parser.add_argument("picture", help="the PNG of the trajectories to write")
    parser.add_argument("--teach-frames", type=int, default=20, help="frames taught from the truth")
    parser.add_argument("--memory", help="a memory file to track with instead of teaching")
    parser.add_argument("--upside-down", action="store_true", help="the memory file was made by the programs")
    parser.add_argument("--save", help="keep the taught memory in this memory file")
    args = parser.parse_args()

    if args.memory:
        memory = lanescope.Memory.load(args.memory)
    else:
        memory = teach(args.video, read_truth(args.truth), args.teach_frames)
    capture = cv2.VideoCapture(args.video)
    ok, first = capture.read()
    if not ok:
        sys.exit("cannot read the video " + args.video)
    paths = collections.defaultdict(list)
    with lanescope.Tracker(memory, upside_down=args.upside_down) as tracker, open(args.tracks, "w") as out:
        frame, number = first, 1
        while ok:
            for track in tracker.track(frame):
                out.write(lanescope.track_row(number, track) + "\n")
                x, y, w, h = track.box
                paths[track.id].append((x + w / 2, y + h / 2))
            ok, frame = capture.read()
            number += 1

    # Saved at the end, as Lanescope saves: the save prunes what the tracking did not use often enough.
    if args.save:
        memory.save(args.save)

    plt.figure(figsize=(first.shape[1] / 100, first.shape[0] / 100), dpi=100)
    plt.imshow(cv2.cvtColor(first, cv2.COLOR_BGR2RGB))
    for ident, points in paths.items():
        xs, ys = zip(*points)
        plt.plot(xs, ys, linewidth=1.5)
        plt.text(xs[-1], ys[-1], str(ident), color="yellow", fontsize=7)
    plt.axis("off")
    plt.savefig(args.picture, bbox_inches="tight", pad_inches=0)
    print(f"{number - 1} frames, {len(paths)} tracks; {args.tracks}, {args.picture}")


if __name__ == "__main__":
    main()
