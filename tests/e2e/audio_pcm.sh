#!/bin/sh
# Plays two generated tracks through the real program, headless, with SDL's
# disk audio driver, and checks the recorded PCM against their decode: each
# track starts on a buffer boundary, the rest of the buffer where a track ends
# is silent, and after the last track there is only silence (no repeat).
# Beside them the music folder holds a FIFO and a link to /dev/zero named
# like tracks, sorted first: opening either would hang or fail, so the
# program must pass them over.
# Usage: sh audio_pcm.sh <disk_dir> <build_dir>
set -eu
disk=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d /tmp/diskplayer_e2e_audio.XXXXXX)
pid=""
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

cp "$disk/diskplayer" "$work/"
[ -f "$disk/data" ] && cp "$disk/data" "$work/"
mkdir "$work/music" "$work/reference"
DISKPLAYER_E2E_MUSIC="$work/music" DISKPLAYER_E2E_REFERENCE="$work/reference" \
    "$build/tests/test_audio" --gtest_filter='e2e_tracks.*' >"$work/generate.log" 2>&1 || {
    cat "$work/generate.log"; echo "FAIL: could not generate the tracks"; exit 1; }
mkfifo "$work/music/00 fifo.ogg"
ln -s /dev/zero "$work/music/00 zero.oga"

# The disk driver writes a buffer, sleeps the delay, and keeps writing silence
# while the device is paused; 2 ms per 1024-frame buffer plays about ten
# times faster than real time and keeps the silent tail small.
cd "$work"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/out.pcm" \
    SDL_DISKAUDIODELAY=2 timeout -k 5 50 ./diskplayer >"$work/stdout.txt" 2>"$work/stderr.txt" &
pid=$!

check() {
    python3 - "$work" "$1" <<'PY'
import sys
work, final = sys.argv[1], sys.argv[2] == "final"
B = 4096                                   # one 1024-frame stereo buffer
tail_needed = 64                           # silent buffers that prove the stop
try:
    data = open(work + "/out.pcm", "rb").read()
except FileNotFoundError:
    data = b""
expected = b""
for n in (1, 2):
    pcm = open("%s/reference/%d.pcm" % (work, n), "rb").read()
    # The buffer with the short read is completed with silence (a whole
    # silent buffer when the track ends exactly on a boundary).
    expected += pcm + b"\0" * ((len(pcm) // B + 1) * B - len(pcm))
zero = b"\0" * B
start = 0
while start + B <= len(data) and data[start:start + B] == zero:
    start += B
if start + len(expected) + tail_needed * B > len(data):
    if final:
        print("FAIL: only %d bytes recorded, %d of them leading silence; expected %d + silence"
              " (stuck on the FIFO?)" % (len(data), start, len(expected)))
        sys.exit(1)
    sys.exit(2)                            # not finished yet
played = data[start:start + len(expected)]
if played != expected:
    first = next(i for i in range(len(expected)) if played[i] != expected[i])
    print("FAIL: played PCM differs from the decoded tracks at byte %d of %d (buffer %d)"
          % (first, len(expected), first // B))
    sys.exit(1)
rest = data[start + len(expected):]
if rest.strip(b"\0"):
    first = len(rest) - len(rest.lstrip(b"\0"))
    print("FAIL: sound after the last track, %d bytes past its end (a repeat?)" % first)
    sys.exit(1)
print("ok: %d leading silent buffers, %d bytes of tracks, %d silent bytes after"
      % (start // B, len(expected), len(rest)))
PY
}

status=2
tries=0
while [ $status -eq 2 ] && [ $tries -lt 200 ]; do
    sleep 0.2
    tries=$((tries + 1))
    if ! kill -0 "$pid" 2>/dev/null; then
        break
    fi
    status=0
    check progress >/dev/null || status=$?
done

# SDL turns SIGTERM into a quit request: the program fades out and exits.
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" || true
pid=""
if ! check final; then
    echo "--- program stdout"; cat "$work/stdout.txt"
    exit 1
fi
# Both tracks opened without complaint: no decoder or engine failure lines.
if grep -E "cant open|not stereo|samplerate|vorbis fuckup|failed to open|nothing to play|can't open audio" "$work/stdout.txt"; then
    echo "FAIL: the program reported an audio failure"
    exit 1
fi
grep -q "^buffer size: 1024 (23 ms)$" "$work/stdout.txt" || {
    echo "FAIL: no buffer-size line"; cat "$work/stdout.txt"; exit 1; }
echo "PASS"
