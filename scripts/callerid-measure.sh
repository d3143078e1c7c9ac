#!/usr/bin/env bash
# Caller-ID measurement on a degraded set: our decoders against minimodem, multimon-ng and spandsp.
#
#   bash scripts/callerid-measure.sh [SETDIR]     (default SETDIR: $HOME/.cache/pell-callerid-set)
#
# SEED=n makes a different set of the same conditions (for a held-out check; default 0).
# Needs a build with benchmarks (build/tools/callerid-measure/callerid-measure; BUILD=dir to use
# another build folder). The first run installs the measuring tools (minimodem, multimon-ng,
# spandsp's library, espeak-ng, sox and the game music of wesnoth-1.16-music; none is needed by
# the product), makes about an hour of speech with espeak-ng (ten voices, languages and speeds),
# two hours of music and two of hold music (the same tracks squeezed by a compander and sent
# through G.711 mu-law), all band-limited to 300-3400 Hz; it writes the signal set and runs the
# reference decoders once; later runs reuse all of it and only re-run our decoders. Prints the
# pass counts per condition and the false DTMF digits per hour of speech, music and hold music.
set -euo pipefail

SET="${1:-$HOME/.cache/pell-callerid-set}"
BUILD="${BUILD:-build}"
MEASURE="$BUILD/tools/callerid-measure/callerid-measure"
[ -x "$MEASURE" ] || { echo "callerid-measure: build $MEASURE first (cmake --build $BUILD --target callerid-measure)" >&2; exit 1; }

MUSIC=/usr/share/games/wesnoth/1.16/data/core/music
missing=()
for tool in minimodem multimon-ng espeak-ng sox; do command -v "$tool" >/dev/null || missing+=("$tool"); done
command -v cc >/dev/null || missing+=(gcc)
[ -f /usr/include/spandsp.h ] || missing+=(libspandsp-dev)
[ -d "$MUSIC" ] || missing+=(wesnoth-1.16-music)
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
SPANDSP="$SET/spandsp-reference"
mkdir -p "$SET"
cc -O2 -o "$SPANDSP" "$(dirname "$0")/../tools/callerid-measure/spandsp_reference.c" -lspandsp

mkdir -p "$SET/speech"
if [ ! -s "$SET/speech/8000.raw" ]; then
  echo "making speech..." >&2
  text="$SET/speech/text.txt"
  cat /usr/share/common-licenses/GPL-3 /usr/share/common-licenses/GFDL-1.3 /usr/share/common-licenses/Apache-2.0 \
    | tr -s ' \n' ' ' | fold -s -w 4000 > "$text"
  voices=(en-us en-gb+f3 de fr-fr+m3 es it+f2 pl nl+f4 ru pt+m2)
  speeds=(175 150 200 130 210 165 185 145 220 160)
  pitches=(50 70 40 55 45 75 35 60 50 65)
  parts=()
  lines=$(wc -l < "$text")
  for i in "${!voices[@]}"; do
    from=$(( i * lines / ${#voices[@]} + 1 )); to=$(( (i + 1) * lines / ${#voices[@]} ))
    sed -n "${from},${to}p" "$text" > "$SET/speech/part$i.txt"
    espeak-ng -v "${voices[$i]}" -s "${speeds[$i]}" -p "${pitches[$i]}" -w "$SET/speech/part$i.wav" -f "$SET/speech/part$i.txt"
    parts+=("$SET/speech/part$i.wav")
  done
  sox "${parts[@]}" "$SET/speech/all.wav"
  for rate in 8000 11025 16000; do
    sox "$SET/speech/all.wav" -r "$rate" -c 1 -b 16 -e signed-integer "$SET/speech/$rate.wav" sinc 300-3400 norm -6
    sox "$SET/speech/$rate.wav" -t raw "$SET/speech/$rate.raw"
  done
  rm -f "$SET"/speech/part*.wav "$SET/speech/all.wav"
fi

# Music as a phone line carries it, each track by itself (the tracks differ in rate and channels).
for kind in music hold; do
  mkdir -p "$SET/$kind"
  [ -s "$SET/$kind/8000.raw" ] && continue
  echo "making $kind..." >&2
  for rate in 8000 11025 16000; do
    : > "$SET/$kind/$rate.raw.part"
    for track in "$MUSIC"/*.ogg; do
      if [ "$kind" = music ]; then
        sox "$track" -r "$rate" -c 1 -b 16 -e signed-integer -t raw - sinc 300-3400 norm -6 >> "$SET/$kind/$rate.raw.part"
      else
        # Hold music: loud and flat, then coded to mu-law and back as a digital exchange does.
        sox "$track" -r "$rate" -c 1 -b 16 -t wav - sinc 300-3400 compand 0.01,0.3 6:-70,-60,-20 -6 -90 0.1 norm -3 \
          | sox -t wav - -e u-law -t wav - | sox -t wav - -b 16 -e signed-integer -t raw - >> "$SET/$kind/$rate.raw.part"
      fi
    done
    mv "$SET/$kind/$rate.raw.part" "$SET/$kind/$rate.raw"
    sox -r "$rate" -c 1 -b 16 -e signed-integer -t raw "$SET/$kind/$rate.raw" "$SET/$kind/$rate.wav"
  done
done

if [ ! -s "$SET/manifest.tsv" ]; then
  echo "writing the signal set..." >&2
  "$MEASURE" generate "$SET" "${SEED:-0}"
fi

# References, run once: every printed byte is kept; a number passes when it appears in the output.
# spandsp reads 8000 Hz only: other rates are resampled for it.
at8k() { sox "$1" -r 8000 -c 1 -b 16 -e signed-integer -t raw -; }
if [ ! -s "$SET/references-v2.tsv" ]; then
  echo "running minimodem, multimon-ng and spandsp..." >&2
  : > "$SET/references-v2.tsv.part"
  while IFS=$'\t' read -r file kind group name rate pair expected; do
    wav="$SET/files/$file"
    if [ "$kind" = fsk ]; then
      if [ "$pair" = v23 ]; then mark=1300; space=2100; mode=clip; else mark=1200; space=2200; mode=class; fi
      mm=$(timeout 60 minimodem --rx -q -f "$wav" -M $mark -S $space 1200 2>/dev/null | od -An -c | tr -d ' \n' || true)
      mn=$(timeout 60 multimon-ng -q -c -a CLIPFSK -t wav "$wav" 2>/dev/null | tr '\n\t' '  ' || true)
      sd=$(at8k "$wav" | timeout 60 "$SPANDSP" $mode || true)
    else
      mm="-"
      mn=$(timeout 60 multimon-ng -q -c -a DTMF -t wav "$wav" 2>/dev/null | sed -n 's/^DTMF: //p' | tr -d '\n' || true)
      sd=$(at8k "$wav" | timeout 60 "$SPANDSP" dtmf || true)
    fi
    printf '%s\t%s\t%s\t%s\n' "$file" "$mm" "$mn" "$sd" >> "$SET/references-v2.tsv.part"
  done < "$SET/manifest.tsv"
  for kind in speech music hold; do
    for rate in 8000 11025 16000; do
      wav="$SET/$kind/$rate.wav"
      mn=$(multimon-ng -q -c -a DTMF -t wav "$wav" 2>/dev/null | sed -n 's/^DTMF: //p' | tr -d '\n' || true)
      sd=$(at8k "$wav" | "$SPANDSP" dtmf || true)
      printf '%s-%s\t-\t%s\t%s\n' "$kind" "$rate" "$mn" "$sd" >> "$SET/references-v2.tsv.part"
    done
  done
  mv "$SET/references-v2.tsv.part" "$SET/references-v2.tsv"
fi

echo "running our decoders..." >&2
"$MEASURE" decode "$SET" > "$SET/ours.tsv"

python3 - "$SET" <<'PY'
import collections, sys
root = sys.argv[1]
manifest = [l.rstrip('\n').split('\t') for l in open(f'{root}/manifest.tsv', encoding='latin-1')]
ours = dict(l.rstrip('\n').split('\t', 1) for l in open(f'{root}/ours.tsv', encoding='latin-1'))
refs = {}
for l in open(f'{root}/references-v2.tsv', encoding='latin-1'):
    f = l.rstrip('\n').split('\t') + ['', '', '']
    refs[f[0]] = (f[1], f[2], f[3])
number_chars = set('0123456789*#+')
rows = collections.OrderedDict()
bad_chars = 0
wrong = 0
for file, kind, group, name, rate, pair, expected in manifest:
    key = (kind, group, name)
    r = rows.setdefault(key, [0, 0, 0, 0, 0])
    answer = ours.get(file, '')
    mm, mn, sd = refs.get(file, ('', '', ''))
    r[0] += 1
    if kind == 'fsk':
        if answer and not set(answer) <= number_chars: bad_chars += 1
        if answer and answer != expected: wrong += 1
        r[1] += answer == expected
        r[2] += expected in mm
        r[3] += expected in mn
        r[4] += expected in sd
    else:
        r[1] += answer == expected
        r[2] = None
        r[3] += mn == expected
        r[4] += sd == expected
head = f"{'files':>5} {'ours':>5} {'minimodem':>9} {'multimon-ng':>11} {'spandsp':>7}"
print(f"{'condition':<62} {head}")
group_totals = collections.OrderedDict()
def line(label, n, o, mm, mn, sd):
    print(f"{label:<62} {n:>5} {o:>5} {'-' if mm is None else mm:>9} {mn:>11} {sd:>7}")
for (kind, group, name), (n, o, mm, mn, sd) in rows.items():
    line(kind + ' ' + name, n, o, mm, mn, sd)
    g = group_totals.setdefault((kind, group), [0, 0, 0, 0, 0])
    g[0] += n; g[1] += o; g[2] = None if mm is None else (g[2] or 0) + mm; g[3] += mn; g[4] += sd
print()
print(f"{'group':<62} {head}")
for (kind, group), (n, o, mm, mn, sd) in group_totals.items():
    line(kind + ' ' + group, n, o, mm, mn, sd)
print()
print(f"FSK answers holding a character no calling number may hold: {bad_chars}")
print(f"FSK answers naming a wrong number: {wrong}")
for kind in ('speech', 'music', 'hold'):
    hours = 0.0; counts = [0, 0, 0]
    for rate in ('8000', '11025', '16000'):
        if f'{kind}-{rate}' not in ours: continue
        digits, seconds, filed = (ours[f'{kind}-{rate}'].split('\t') + [''])[:3]
        seconds = float(seconds); hours += seconds / 3600
        _, mn, sd = refs.get(f'{kind}-{rate}', ('', '', ''))
        counts[0] += len(digits); counts[1] += len(mn); counts[2] += len(sd)
        print(f"talk-off at {rate} Hz over {seconds / 60:.1f} min of {kind}: ours {len(digits)} digits ({digits!r}), "
              f"multimon-ng {len(mn)}, spandsp {len(sd)}")
        print(f"  numbers our recorder would file for its {seconds / 180:.0f} three-minute calls, tone and FSK setting: "
              f"{len(filed.split())} ({filed!r})")
    if hours:
        print(f"false DTMF digits per hour of {kind}: ours {counts[0] / hours:.1f}, "
              f"multimon-ng {counts[1] / hours:.1f}, spandsp {counts[2] / hours:.1f}")
PY
