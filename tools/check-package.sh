#!/usr/bin/env bash
# tools/check-package.sh BUILD_DIR [--interactive]
#
# The package as someone who is not us gets it: installs BUILD_DIR (configured and built, without
# sanitizers) into a temporary prefix, configures and builds examples/embedding against that prefix with
# find_package (a fresh build folder, no path into our tree), starts the loopback stand-in service,
# runs the example headless to send one report, and checks that the service stored exactly that
# report; then opens the example's page (every entry point of the QML module) and a composer sheet. Then compiles and links a small program with `pkg-config --cflags --libs morvik-feedback`.
# Any failing step fails the script. With --interactive the example's window is then shown, talking to
# the same stand-in service, until it is closed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:?usage: tools/check-package.sh BUILD_DIR [--interactive]}" && pwd)
INTERACTIVE=${2:-}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-package.XXXXXX")
PREFIX=$WORK/prefix
STANDIN_PID=""
cleanup() {
    [ -n "$STANDIN_PID" ] && kill "$STANDIN_PID" 2>/dev/null && wait "$STANDIN_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
step() { echo "check-package: $*"; }

step "installing $BUILD into $PREFIX"
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log"
for f in lib/morvik-feedback/morvik-feedback-helper lib/morvik-feedback/libmorvik_host_windows.so \
    lib/morvik-feedback/libmorvik_host_delivery.so bin/morvik-feedback-helper \
    include/MorvikFeedback/Feedback.h include/MorvikFeedback/morvik_config_export.h \
    lib/cmake/MorvikFeedback/MorvikFeedbackConfig.cmake lib/pkgconfig/morvik-feedback.pc; do
    [ -e "$PREFIX/$f" ] || { echo "check-package: $f was not installed" >&2; exit 1; }
done
# Our build options stay ours: nothing of warnings, -Werror or sanitizers in what an embedder imports.
if grep -En -- '-Werror|-fsanitize|-Wall|-Wextra|-Wpedantic' "$PREFIX"/lib/cmake/MorvikFeedback/*.cmake \
    "$PREFIX/lib/pkgconfig/morvik-feedback.pc"; then
    echo "check-package: build-only options leak into the package" >&2
    exit 1
fi

step "building examples/embedding against the installed package"
cmake -S "$ROOT/examples/embedding" -B "$WORK/example" -G Ninja -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$WORK/configure.log" || { cat "$WORK/configure.log"; exit 1; }
cmake --build "$WORK/example" || exit 1
# The example must run on the installed libraries only, never on a build folder of ours.
if ldd "$WORK/example/embedding-example" | grep -F "$ROOT/"; then
    echo "check-package: the example loads libraries from the source tree" >&2
    exit 1
fi

step "sending one report through the example to the loopback service"
mkfifo "$WORK/standin.out"
"$BUILD/tools/standin/morvik-service-standin" --port 0 --db "$WORK/inbox.sqlite" >"$WORK/standin.out" &
STANDIN_PID=$!
exec 3<"$WORK/standin.out" # held open for as long as the stand-in writes
read -r -t 30 -u 3 word url || { echo "check-package: the stand-in did not start" >&2; exit 1; }
[ "$word" = listening ] || { echo "check-package: unexpected stand-in line: $word $url" >&2; exit 1; }
mkdir -p "$WORK/home" && mkdir -m 0700 "$WORK/runtime"
out=$(HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" XDG_DATA_HOME="$WORK/home/data" XDG_RUNTIME_DIR="$WORK/runtime" \
    QT_QPA_PLATFORM=offscreen MORVIK_FEEDBACK_URL="$url" \
    timeout 60 "$WORK/example/embedding-example" --send-once) || {
    echo "check-package: the example failed: $out" >&2
    exit 1
}
echo "$out"
python3 - "$WORK/inbox.sqlite" "$out" <<'PY'
import sqlite3, sys
rows = sqlite3.connect(sys.argv[1]).execute(
    "SELECT code FROM entries WHERE kind = 'report' AND CAST(body AS TEXT) LIKE '%Hello from the embedding example.%'").fetchall()
if len(rows) != 1:
    sys.exit(f"check-package: the service holds {len(rows)} reports from the example, not 1")
if sys.argv[2] != f"sent: {rows[0][0]}":
    sys.exit(f"check-package: the example printed {sys.argv[2]!r}, the service gave the code {rows[0][0]}")
print("check-package: the service received the report")
PY

step "opening the example's page and a composer sheet from its settings section, headless"
HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" XDG_DATA_HOME="$WORK/home/data" XDG_RUNTIME_DIR="$WORK/runtime" \
    QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software MORVIK_FEEDBACK_URL="$url" \
    timeout 60 "$WORK/example/embedding-example" --measure-first-composer=sheet || {
    echo "check-package: the example's page or its composer sheet did not come up" >&2
    exit 1
}

step "compiling a program with pkg-config"
cat >"$WORK/pc.cpp" <<'CPP'
#include <MorvikFeedback/Feedback.h>
#include <MorvikFeedback/FeedbackReport.h>
int main() {
    Feedback::setAppKey(QStringLiteral("k"));
    return Feedback::appKey() == QStringLiteral("k") && !Feedback::reportEndpoint().isEmpty() ? 0 : 1;
}
CPP
# shellcheck disable=SC2046
c++ -fPIC "$WORK/pc.cpp" -o "$WORK/pc" $(PKG_CONFIG_PATH="$PREFIX/lib/pkgconfig" pkg-config --cflags --libs morvik-feedback)
"$WORK/pc"
step "ok"

if [ "$INTERACTIVE" = --interactive ]; then
    step "showing the example's window (the stand-in's inbox: $url/)"
    HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/config" XDG_DATA_HOME="$WORK/home/data" \
        XDG_RUNTIME_DIR="$WORK/runtime" MORVIK_FEEDBACK_URL="$url" "$WORK/example/embedding-example"
fi
