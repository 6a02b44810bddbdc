#!/bin/sh
# Runs each fuzz target briefly (20 s by default, FUZZ_SECONDS to change)
# over its committed seeds: the data file reader and PNG loader, the font,
# the Vorbis decoder as the engine drives it and in the listener's case of
# damage past the first second (both replaying every input that once
# crashed the player), and the blitter. Builds nothing: the targets come from
# the fuzz build (scripts/fuzz builds it), looked for in DISKPLAYER_FUZZ_BUILD,
# then <build dir>/fuzz, then build-fuzz beside the sources.
# Exit 77 (skipped) when no fuzz build exists.
# Usage: sh fuzz_smoke.sh <disk dir> <build dir>
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$2" && pwd)
fuzz_build=""
for candidate in "${DISKPLAYER_FUZZ_BUILD:-}" "$build/fuzz" "$repo/build-fuzz"; do
    if [ -n "$candidate" ] && [ -x "$candidate/fuzz_blit" ]; then
        fuzz_build=$(cd "$candidate" && pwd)
        break
    fi
done
if [ -z "$fuzz_build" ]; then
    echo "no fuzz build found: run scripts/fuzz once, or set DISKPLAYER_FUZZ_BUILD"
    exit 77
fi
exec "$repo/scripts/fuzz" --no-build --build-dir "$fuzz_build" "${FUZZ_SECONDS:-20}"
