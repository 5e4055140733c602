#!/usr/bin/env bash
# Launch benchmarks of the desktop app, off-screen, against the local demo services:
#   - launch to first content of `ostrel-hub --measure-launch`, started from its saved catalogue
#     (one run first fills it), and of a bare Qt Quick window with 20 tiles, 10 runs each, with
#     Qt Quick's software renderer and with OpenGL (on an X server of its own): the medians;
#   - resident memory 5 s after the first content (--measure-memory);
#   - the worst frame interval and the longest stall of the GUI thread while the Plug-ins grid
#     scrolls and a product page opens (--measure-frames), with both renderers: medians of 5.
# Builds the release preset first; OSTREL_BENCH_BUILD=build/dev measures another build as it is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
runs=${OSTREL_BENCH_RUNS:-10}
frame_runs=5
build=${OSTREL_BENCH_BUILD:-}
if [[ -z "$build" ]]; then
  build=build/release
  [[ -f "$build/build.ninja" ]] || cmake --preset release
  cmake --build --preset release --target ostrel-hub ostrel-demo-services bare_quick_window
fi

state=$(mktemp -d -t ostrel-launch-bench-XXXXXX)
# The hub's image cache and the renderers' shader caches go with the bench's own state, not into
# the user's home; each program's first run below fills them.
export XDG_CACHE_HOME="$state/cache"
"$build/tools/demo-services/ostrel-demo-services" --state "$state/services" >"$state/services.log" 2>&1 &
services=$!
xvfb=""
trap 'kill $services $xvfb 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$state"' EXIT
config=""
for _ in $(seq 1 600); do
  config=$(sed -n 's/^ostrel-demo-services ready; config: //p' "$state/services.log")
  [[ -n "$config" ]] && break
  kill -0 "$services" 2>/dev/null || { cat "$state/services.log" >&2; exit 1; }
  sleep 0.1
done
[[ -n "$config" ]] || { echo "launch.sh: the demo services did not get ready" >&2; exit 1; }
anchors=$(sed -n 's/^ostrel-demo-services code-signing anchors: //p' "$state/services.log")

hub=("$build/Ostrel_Hub/ostrel-hub" --config "$config" --anchors "$anchors" --team K7QZ2M4XNB
  --home "$state/home" --data "$state/hub")
bare=("$build/bench/bare_quick_window")

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "none"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Runs one measured program. A run that fails (a crash at exit, say) is reported on stderr
# instead of ending the whole bench; only what it printed before counts.
measured() {
  local out status=0
  out=$("$@" 2>/dev/null) || status=$?
  ((status == 0)) || echo "launch.sh: a run ended with status $status: ${1##*/}" >&2
  printf '%s\n' "$out"
}
# The milliseconds of one measured launch; nothing when it printed no measurement.
launch_ms() { measured "$@" | awk '/^launch-to-first-content-ms / { print $2 }'; }
# The hub and the bare window take turns, so that a busy moment of the machine weighs on both.
alternate_runs() {
  local hub_ms bare_ms
  hub_ms=$(mktemp) bare_ms=$(mktemp)
  for _ in $(seq 1 "$runs"); do
    launch_ms "${hub[@]}" --measure-launch >>"$hub_ms"
    launch_ms "${bare[@]}" >>"$bare_ms"
  done
  echo "$renderer: ostrel-hub launch to first content, median of $runs: $(median <"$hub_ms") ms"
  echo "$renderer: bare Qt Quick window, median of $runs: $(median <"$bare_ms") ms"
  rm -f "$hub_ms" "$bare_ms"
}

# The worst frame and the longest block of the GUI thread while scrolling and opening a product
# page: medians over a few runs, since one run catches whatever else the machine was doing.
frame_runs() {
  local worst block
  worst=$(mktemp) block=$(mktemp)
  for _ in $(seq 1 "$frame_runs"); do
    measured "${hub[@]}" --measure-frames >"$state/frames"
    awk '/^worst-frame-ms / { print $2 }' "$state/frames" >>"$worst"
    awk '/^longest-gui-block-ms / { print $2 }' "$state/frames" >>"$block"
  done
  echo "$renderer: worst frame, median of $frame_runs: $(median <"$worst") ms"
  echo "$renderer: longest GUI-thread block, median of $frame_runs: $(median <"$block") ms"
  rm -f "$worst" "$block"
}

# Off-screen, without any X server: with one, Qt would load OpenGL's libraries even to draw in
# software, and the memory figure would count them.
use_software() {
  export QT_QUICK_BACKEND=software QT_QPA_PLATFORM=offscreen
  unset QSG_RHI_BACKEND DISPLAY
}

# The off-screen platform has no OpenGL: asked for it, Qt Quick quietly draws in software. The
# OpenGL runs use an X server of their own instead (Mesa's llvmpipe when the machine has no GPU).
use_opengl() {
  unset QT_QUICK_BACKEND
  export QSG_RHI_BACKEND=opengl
  command -v Xvfb >/dev/null || return 1
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$state/display" 2>"$state/xvfb.log" &
  xvfb=$!
  for _ in $(seq 1 100); do [[ -s "$state/display" ]] && break; sleep 0.05; done
  [[ -s "$state/display" ]] || return 1
  export DISPLAY=":$(cat "$state/display")" QT_QPA_PLATFORM=xcb
  local info
  info=$(QSG_INFO=1 "${bare[@]}" 2>&1 || true)
  [[ $info == *"Using QRhi with backend OpenGL"* ]] || return 1
  echo "opengl: drawn by $(sed -n 's/.*RENDERER: \(.*\) VERSION.*/\1/p' <<<"$info" | head -1)"
}

for renderer in software opengl; do
  if [[ $renderer == software ]]; then
    use_software
  elif ! use_opengl; then
    echo "$renderer: not available here (no X server with OpenGL for the scene graph)"
    continue
  fi
  if [[ -z "$(launch_ms "${bare[@]}")" ]]; then
    echo "$renderer: not available here (the bare window drew no frame)"
    continue
  fi
  launch_ms "${hub[@]}" --measure-launch >/dev/null # fills the saved catalogue
  alternate_runs
  frame_runs
done

use_software
measured "${hub[@]}" --measure-memory | sed 's/^/software: /'
