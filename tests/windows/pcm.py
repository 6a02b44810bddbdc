#!/usr/bin/env python3
"""The Windows check's measures of what the program played and printed.

  pcm.py wait <played.pcm> <seconds>        until the sound has stopped: more
                                            than six seconds of silence after sound
  pcm.py compare <played.pcm> <track.pcm>...  the tracks, each completed to a
                                            whole buffer, at a buffer boundary
  pcm.py contains <played.pcm> <track.pcm>...  each track's first 2.5 s somewhere
  pcm.py lines <windows.txt> <linux.txt> <windows folder> <linux folder>
"""
import os
import sys
import time

BUFFER = 4096            # one 1024-frame stereo buffer of 16-bit samples
QUIET = 6 * 176400       # six seconds: the damaged tracks hold 2.4 s of silence


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def wait(played, seconds):
    end = time.time() + float(seconds)
    while time.time() < end:
        size = os.path.getsize(played) if os.path.exists(played) else 0
        if size > QUIET + 100 * BUFFER:
            with open(played, "rb") as f:
                f.seek(size - QUIET)
                tail = f.read(QUIET)
                f.seek(0)
                head = f.read(size - QUIET)
            if not tail.strip(b"\0") and head.strip(b"\0"):
                return 0
        time.sleep(0.5)
    return 1


def compare(played, tracks):
    data = read(played)
    expected = b""
    for track in tracks:
        pcm = read(track)
        # The buffer of the short read is completed with silence (a whole
        # silent buffer when the track ends exactly on a boundary).
        expected += pcm + b"\0" * ((len(pcm) // BUFFER + 1) * BUFFER - len(pcm))
    for start in range(0, min(len(data), 64 * BUFFER), BUFFER):
        if data[start:start + len(expected)] == expected:
            rest = data[start + len(expected):]
            if rest.strip(b"\0"):
                print("sound after the last track")
                return 1
            print("ok: %d bytes of %d tracks equal their decode, after %d silent buffers"
                  % (len(expected), len(tracks), start // BUFFER))
            return 0
    start = len(data) - len(data.lstrip(b"\0"))
    start -= start % BUFFER
    got = data[start:start + len(expected)]
    first = next((i for i in range(min(len(got), len(expected))) if got[i] != expected[i]),
                 min(len(got), len(expected)))
    print("played %d bytes; they differ from the %d decoded ones at byte %d"
          % (len(data), len(expected), first))
    return 1


def contains(played, tracks):
    data = read(played)
    for track in tracks:
        head = read(track)[:441000]
        if not head or data.find(head) < 0:
            print("%s was not played" % os.path.basename(track))
            return 1
    return 0


def lines(windows, linux, windows_folder, linux_folder):
    """Windows ends its lines with CR LF and names files its way; the rest
    of every line must be the Linux program's own."""
    def paths_as_linux(line):
        at = line.find(windows_folder)
        if at < 0:
            return line
        rest = line[at + len(windows_folder):].replace("\\", "/")
        return line[:at] + linux_folder + rest
    got = [paths_as_linux(l.rstrip("\r")) for l in read(windows).decode("utf-8", "replace").split("\n")]
    want = read(linux).decode("utf-8", "replace").split("\n")
    if got != want:
        print("Windows printed:\n  " + "\n  ".join(got) + "\nLinux printed:\n  " + "\n  ".join(want))
        return 1
    print("ok: the same %d lines" % (len(want) - 1))
    return 0


if __name__ == "__main__":
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "wait":
        sys.exit(wait(*args))
    if mode == "compare":
        sys.exit(compare(args[0], args[1:]))
    if mode == "contains":
        sys.exit(contains(args[0], args[1:]))
    if mode == "lines":
        sys.exit(lines(*args))
    sys.exit(__doc__)
