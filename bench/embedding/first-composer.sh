#!/usr/bin/env bash
# bench/embedding/first-composer.sh BUILD_DIR [ROUNDS]
#
# The first composer in an application that embeds the component, side by side with the helper's:
# installs BUILD_DIR (a release build configured with -DMORVIK_BENCH=ON) into a temporary prefix, builds
# examples/embedding against it, and starts the example ROUNDS times (default 10) per measurement, each
# a fresh process: from the click on "Send Feedback… (window)" to the composer window exposed and its
# first frame, and from the click on the settings section's "Share an idea" to the page's first frame
# with the composer sheet. Then runs the helper's compose-to-window benchmark (bench_composer) of the
# same build. Prints median, minimum and maximum. Needs DISPLAY (an X server with a window manager).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:?usage: bench/embedding/first-composer.sh BUILD_DIR [ROUNDS]}" && pwd)
ROUNDS=${2:-10}
[ -n "${DISPLAY:-}" ] || { echo "first-composer: needs DISPLAY" >&2; exit 1; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-first-composer.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null
cmake -S "$ROOT/examples/embedding" -B "$WORK/example" -G Ninja -DCMAKE_PREFIX_PATH="$WORK/prefix" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$WORK/example" >/dev/null
mkdir -p "$WORK/home" && mkdir -m 0700 "$WORK/runtime"

run() {
    # A closed port: nothing in the measurement waits for the network.
    HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" XDG_DATA_HOME="$WORK/home/data" \
        XDG_RUNTIME_DIR="$WORK/runtime" MORVIK_FEEDBACK_URL=http://127.0.0.1:9 \
        timeout 60 "$WORK/example/embedding-example" --measure-first-composer="$1" 2>/dev/null
}
for mode in window sheet; do
    for _ in $(seq "$ROUNDS"); do run "$mode"; done >"$WORK/$mode.txt"
done
python3 - "$WORK" "$ROUNDS" <<'PY'
import re, statistics, sys
work, rounds = sys.argv[1], sys.argv[2]
def figures(name, values):
    if not values:
        print(f"  {name}: no measurement")
        return
    print(f"  {name}: median {statistics.median(values):.1f} ms, min {min(values):.1f}, max {max(values):.1f}")
window = open(f"{work}/window.txt").read()
sheet = open(f"{work}/sheet.txt").read()
print(f"embedding example, first composer of a fresh process ({rounds} rounds):")
figures("click -> composer window exposed", [float(v) for v in re.findall(r"exposed ([\d.]+) ms", window)])
figures("click -> composer window first frame", [float(v) for v in re.findall(r"shown ([\d.]+) ms\n", window)])
figures("click -> sheet with the composer drawn", [float(v) for v in re.findall(r"shown ([\d.]+) ms", sheet)])
PY
if [ -x "$BUILD/bench/composer/bench_composer" ]; then
    echo "helper, compose command -> composer window:"
    "$BUILD/bench/composer/bench_composer" "$ROUNDS"
else
    echo "first-composer: $BUILD/bench/composer/bench_composer missing (configure with -DMORVIK_BENCH=ON)" >&2
fi
