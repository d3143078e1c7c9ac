#!/usr/bin/env bash
# Plays five recordings into the null sink of a private PulseAudio daemon, records what the sink
# received, and compares it with the engine's own decoding of each file: sound lost at the end,
# gaps, clipped samples, at each machine load asked for. Then the CPU share of a core of the
# player while it plays an 8 kHz recording, beside mpg123 on the same path (PortAudio, ALSA's
# pulse plugin, the same daemon), and of the player idle when one is given.
#
# lost_start_ms is the capture's blind spot, not the player's: when a stream starts, the sink
# re-renders what it had mixed ahead (a rewind), and its monitor never hears the part re-rendered,
# about the stream's latency (mpg123 loses the same). Gaps are silence inserted in the middle.
#
# Usage: scripts/playback-measure.sh [options]
#   --build DIR          build folder holding tools/pell-mp3/pell-mp3 (default build)
#   --loads "2 8"        machine loads: that many busy loops run beside the player
#   --player CMD         plays one file to its last sample and exits; %f is the file, %e the
#                        equalizer "P,G1,...,G10" (default: pell-mp3 play %f --eq %e)
#   --idle-player CMD    a player to measure idle for --idle-seconds (e.g. PellPlayer)
#   --idle-seconds N     default 10
#   --no-eq              every recording flat (for a player that has no --eq)
#
# Driving PellPlayer: give a --player command that starts the window on the file, plays it and
# quits when it ends, with its equalizer flat (and --no-eq), for example under a running Xvfb:
#   --no-eq --player "$PWD/build/player/ui/tools/pellplayer_play_file %f" \
#   --idle-player "env -C <empty folder> $PWD/build/player/ui/PellPlayer"
# The player's CPU share is given twice: over a whole play of 12 s (its start-up weighs) and over
# the middle of a minute's call (what playing costs), each beside mpg123's.
# The sound goes to the daemon through the environment this script sets (PULSE_SERVER,
# ALSA_CONFIG_PATH), so any PortAudio program inherits it.
#
# Everything the script starts (the daemon, the recorder, the busy loops) it stops by pid.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
loads="2 8"
player=""
idle_player=""
idle_seconds=10
use_eq=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --loads) loads=$2; shift 2 ;;
    --player) player=$2; shift 2 ;;
    --idle-player) idle_player=$2; shift 2 ;;
    --idle-seconds) idle_seconds=$2; shift 2 ;;
    --no-eq) use_eq=0; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
pell_mp3=$build/tools/pell-mp3/pell-mp3
[ -x "$pell_mp3" ] || { echo "build $pell_mp3 first (cmake --build $build --target pell-mp3)" >&2; exit 1; }
for tool in pulseaudio pactl parec sox lame mpg123; do
  command -v $tool >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
[ -n "$player" ] || player="$pell_mp3 play %f --eq %e"

work=$(mktemp -d /tmp/playback-measure.XXXXXX)
busy_pids=()
recorder_pid=""
stop_busy() {
  for pid in "${busy_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${busy_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  busy_pids=()
}
cleanup() {
  stop_busy
  [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null || true
  if [ -f "$work/pulse/pid" ]; then
    kill "$(cat "$work/pulse/pid")" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The private daemon: everything it keeps lives in $work, its only sink is the null sink.
mkdir -p "$work/pulse" "$work/home"
export PULSE_RUNTIME_PATH=$work/pulse PULSE_STATE_PATH=$work/pulse/state XDG_RUNTIME_DIR=$work/pulse HOME=$work/home
export PULSE_SERVER=unix:$work/pulse/native
# Real-time and high priority, as a desktop's sound server runs (rtkit), so the load measures
# the player and not a starved daemon.
pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disable-shm=yes --use-pid-file=yes --realtime=yes --high-priority=yes \
  --log-target=file:"$work/pulse.log" -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1"
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null || { echo "pulseaudio did not start:"; cat "$work/pulse.log"; exit 1; } >&2
printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$work/asoundrc"
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$work/asoundrc

# A null sink at the recording's own format, so nothing is resampled between us and the capture.
use_sink() {
  pactl unload-module module-null-sink 2>/dev/null || true
  pactl load-module module-null-sink sink_name=speakers rate="$1" channels="$2" >/dev/null
  pactl set-default-sink speakers
}

# Five recordings of speech-like noise (never periodic, so a gap cannot hide) with pauses:
# name rate channels kbit/s seconds equalizer
recordings=(
  "call-8k-flat 8000 1 16 12.3 0,0,0,0,0,0,0,0,0,0,0"
  "call-8k-band6 8000 1 16 12.6 0,0,0,0,0,0,10,0,0,0,0"
  "call-16k-all10 16000 1 32 12.9 0,10,10,10,10,10,10,10,10,10,10"
  "call-22k-pre5-all10 22050 1 48 12.5 5,10,10,10,10,10,10,10,10,10,10"
  "music-44k-stereo 44100 2 128 12.7 0,0,0,0,0,0,0,0,0,0,0"
)
echo "== making the recordings in $work"
for entry in "${recordings[@]}"; do
  read -r name rate channels kbps seconds eq <<<"$entry"
  [ "$use_eq" = 1 ] || eq=0,0,0,0,0,0,0,0,0,0,0
  sox -n -r "$rate" -c "$channels" -b 16 "$work/$name.wav" synth "$seconds" pinknoise tremolo 2.5 80 gain -9
  lame --quiet --cbr -b "$kbps" "$work/$name.wav" "$work/$name.mp3"
  "$pell_mp3" decode "$work/$name.mp3" "$work/$name.ref" --eq "$eq" >/dev/null
done

# Runs the player on a file with the capture running; prints "user sys wall" of the player.
play_captured() {
  local file=$1 eq=$2 capture=$3 rate=$4 channels=$5
  parec --device=speakers.monitor --raw --format=s16le --rate="$rate" --channels="$channels" >"$capture" &
  recorder_pid=$!
  sleep 0.5
  local command=${player//%f/$file}
  command=${command//%e/$eq}
  local TIMEFORMAT='%3U %3S %3R'
  { time bash -c "$command" >/dev/null 2>"$work/player.err"; } 2>"$work/times"
  sleep 0.7
  kill "$recorder_pid" 2>/dev/null || true
  wait "$recorder_pid" 2>/dev/null || true
  recorder_pid=""
  cat "$work/times"
}

start_busy() {
  for _ in $(seq "$1"); do
    bash -c 'while :; do :; done' &
    busy_pids+=($!)
  done
}

total_lost=0 total_gaps=0 total_clipped=0
for load in $loads; do
  echo "== load $load: $load busy loops beside the player"
  start_busy "$load"
  printf '%-22s %8s %12s %10s %6s %9s %8s %8s\n' recording length_ms lost_start_ms lost_end_ms gaps gap_ms clipped mismatch
  for entry in "${recordings[@]}"; do
    read -r name rate channels kbps seconds eq <<<"$entry"
    [ "$use_eq" = 1 ] || eq=0,0,0,0,0,0,0,0,0,0,0
    use_sink "$rate" "$channels"
    play_captured "$work/$name.mp3" "$eq" "$work/$name.cap" "$rate" "$channels" >/dev/null
    report=$("$pell_mp3" compare "$work/$name.ref" "$work/$name.cap" "$rate" "$channels")
    summary=$(tail -1 <<<"$report")
    field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$summary"; }
    printf '%-22s %8s %12s %10s %6s %9s %8s %8s\n' "$name" "$(field reference_ms)" "$(field lost_start_ms)" "$(field lost_end_ms)" \
      "$(field gaps)" "$(field gap_ms)" "$(field clipped)" "$(field mismatched_blocks)"
    [ "$(field aligned)" = 1 ] || echo "   (the recording's sound was not found in the capture: $(grep -v '^ALSA lib' "$work/player.err" | tail -3))"
    grep '^gap ' <<<"$report" | sed 's/^/   /' || true
    total_lost=$(awk -v a="$total_lost" -v b="$(field lost_end_ms)" 'BEGIN { print a + b }')
    total_gaps=$((total_gaps + $(field gaps)))
    total_clipped=$((total_clipped + $(field clipped)))
  done
  stop_busy
done
echo "== in all: lost at the end ${total_lost} ms, ${total_gaps} gaps, ${total_clipped} clipped samples"

echo "== CPU share of one core playing call-8k-flat (no extra load), start-up included"
use_sink 8000 1
cpu_share() { awk '{ printf "%.2f", ($1 + $2) / $3 * 100 }' <<<"$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
ours_times=$(play_captured "$work/call-8k-flat.mp3" 0,0,0,0,0,0,0,0,0,0,0 "$work/cpu.cap" 8000 1)
saved_player=$player
player="mpg123 -q -o portaudio %f"
theirs_times=$(play_captured "$work/call-8k-flat.mp3" "" "$work/cpu.cap" 8000 1)
player=$saved_player
ours=$(cpu_share "$ours_times")
theirs=$(cpu_share "$theirs_times")
echo "player:                 $ours % ($ours_times: user sys wall s)"
echo "mpg123 -o portaudio:    $theirs % ($theirs_times)"
echo "ratio player / mpg123:  $(ratio "$ours" "$theirs")"

# Steady playing, what a long call costs: the process's CPU time over the middle of a minute
# of 8 kHz speech, leaving out starting (a window, its list, the call's outline) and ending.
steady_seconds=50
echo "== CPU share of one core while playing, seconds 5 to $((5 + steady_seconds)) of a call of $((steady_seconds + 10)) s at 8 kHz"
sox -n -r 8000 -c 1 -b 16 "$work/long.wav" synth $((steady_seconds + 10)) pinknoise tremolo 2.5 80 gain -9
lame --quiet --cbr -b 16 "$work/long.wav" "$work/long.mp3"
steady_share() {
  local command=${1//%f/$work/long.mp3}
  command=${command//%e/0,0,0,0,0,0,0,0,0,0,0}
  bash -c "exec $command" >/dev/null 2>"$work/player.err" &
  local pid=$!
  sleep 5
  local before after
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep "$steady_seconds"
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  wait "$pid" 2>/dev/null || true
  awk -v a="$before" -v b="$after" -v s="$steady_seconds" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "%.2f", (b - a) / hz / s * 100 }'
}
ours_steady=$(steady_share "$player")
theirs_steady=$(steady_share "mpg123 -q -o portaudio %f")
echo "player:                 $ours_steady %"
echo "mpg123 -o portaudio:    $theirs_steady %"
echo "ratio player / mpg123:  $(ratio "$ours_steady" "$theirs_steady") (goal 1.5 or less)"

if [ -n "$idle_player" ]; then
  echo "== CPU share of the player idle for $idle_seconds s"
  bash -c "exec $idle_player" >/dev/null 2>&1 &
  idle_pid=$!
  sleep 3
  ticks() { awk '{ print $14 + $15 }' "/proc/$idle_pid/stat"; }
  before=$(ticks)
  sleep "$idle_seconds"
  after=$(ticks)
  kill "$idle_pid" 2>/dev/null || true
  wait "$idle_pid" 2>/dev/null || true
  awk -v a="$before" -v b="$after" -v s="$idle_seconds" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { printf "idle: %.2f %% of a core (goal 0.1 or less)\n", (b - a) / hz / s * 100 }'
else
  echo "== idle: pell-mp3 runs no thread when nothing plays; give --idle-player to measure a player"
fi
