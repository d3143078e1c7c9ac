#!/usr/bin/env bash
# Caller-ID measurement on a degraded set: our decoders against minimodem and multimon-ng.
#
#   bash scripts/callerid-measure.sh [SETDIR]     (default SETDIR: $HOME/.cache/pell-callerid-set)
#
# SEED=n makes a different set of the same conditions (for a held-out check; default 0).
# Needs a build with benchmarks (build/tools/callerid-measure/callerid-measure; BUILD=dir to use
# another build folder). The first run installs the measuring tools (minimodem, multimon-ng,
# espeak-ng, sox; not needed by the product), makes about 40 minutes of speech with espeak-ng
# (ten voices, languages and speeds, band-limited to 300-3400 Hz), writes the signal set and runs
# the reference decoders once; later runs reuse all of it and only re-run our decoders. Prints
# the pass counts per condition and the false DTMF digits per hour of speech.
set -euo pipefail

SET="${1:-$HOME/.cache/pell-callerid-set}"
BUILD="${BUILD:-build}"
MEASURE="$BUILD/tools/callerid-measure/callerid-measure"
[ -x "$MEASURE" ] || { echo "callerid-measure: build $MEASURE first (cmake --build $BUILD --target callerid-measure)" >&2; exit 1; }

missing=()
for tool in minimodem multimon-ng espeak-ng sox; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

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

if [ ! -s "$SET/manifest.tsv" ]; then
  echo "writing the signal set..." >&2
  "$MEASURE" generate "$SET" "${SEED:-0}"
fi

# References, run once: every printed byte is kept; a number passes when it appears in the output.
if [ ! -s "$SET/references.tsv" ]; then
  echo "running minimodem and multimon-ng..." >&2
  : > "$SET/references.tsv.part"
  while IFS=$'\t' read -r file kind group name rate pair expected; do
    wav="$SET/files/$file"
    if [ "$kind" = fsk ]; then
      if [ "$pair" = v23 ]; then mark=1300; space=2100; else mark=1200; space=2200; fi
      mm=$(timeout 60 minimodem --rx -q -f "$wav" -M $mark -S $space 1200 2>/dev/null | od -An -c | tr -d ' \n' || true)
      mn=$(timeout 60 multimon-ng -q -c -a CLIPFSK -t wav "$wav" 2>/dev/null | tr '\n\t' '  ' || true)
    else
      mm="-"
      mn=$(timeout 60 multimon-ng -q -c -a DTMF -t wav "$wav" 2>/dev/null | sed -n 's/^DTMF: //p' | tr -d '\n' || true)
    fi
    printf '%s\t%s\t%s\n' "$file" "$mm" "$mn" >> "$SET/references.tsv.part"
  done < "$SET/manifest.tsv"
  for rate in 8000 11025 16000; do
    mn=$(multimon-ng -q -c -a DTMF -t wav "$SET/speech/$rate.wav" 2>/dev/null | sed -n 's/^DTMF: //p' | tr -d '\n' || true)
    printf 'speech-%s\t-\t%s\n' "$rate" "$mn" >> "$SET/references.tsv.part"
  done
  mv "$SET/references.tsv.part" "$SET/references.tsv"
fi

echo "running our decoders..." >&2
"$MEASURE" decode "$SET" > "$SET/ours.tsv"

python3 - "$SET" <<'PY'
import collections, sys
root = sys.argv[1]
manifest = [l.rstrip('\n').split('\t') for l in open(f'{root}/manifest.tsv', encoding='latin-1')]
ours = dict(l.rstrip('\n').split('\t', 1) for l in open(f'{root}/ours.tsv', encoding='latin-1'))
refs = {}
for l in open(f'{root}/references.tsv', encoding='latin-1'):
    f = l.rstrip('\n').split('\t')
    refs[f[0]] = (f[1] if len(f) > 1 else '', f[2] if len(f) > 2 else '')
number_chars = set('0123456789*#+')
rows = collections.OrderedDict()
bad_chars = 0
for file, kind, group, name, rate, pair, expected in manifest:
    key = (kind, group, name)
    r = rows.setdefault(key, [0, 0, 0, 0])
    answer = ours.get(file, '')
    mm, mn = refs.get(file, ('', ''))
    r[0] += 1
    if kind == 'fsk':
        if answer and not set(answer) <= number_chars: bad_chars += 1
        r[1] += answer == expected
        r[2] += expected in mm
        r[3] += expected in mn
    else:
        r[1] += answer == expected
        r[2] = None
        r[3] += mn == expected
print(f"{'condition':<62} {'files':>5} {'ours':>5} {'minimodem':>9} {'multimon-ng':>11}")
group_totals = collections.OrderedDict()
for (kind, group, name), (n, o, mm, mn) in rows.items():
    print(f"{kind + ' ' + name:<62} {n:>5} {o:>5} {'-' if mm is None else mm:>9} {mn:>11}")
    g = group_totals.setdefault((kind, group), [0, 0, 0, 0])
    g[0] += n; g[1] += o; g[2] = None if mm is None else (g[2] or 0) + mm; g[3] += mn
print()
print(f"{'group':<62} {'files':>5} {'ours':>5} {'minimodem':>9} {'multimon-ng':>11}")
for (kind, group), (n, o, mm, mn) in group_totals.items():
    print(f"{kind + ' ' + group:<62} {n:>5} {o:>5} {'-' if mm is None else mm:>9} {mn:>11}")
print()
print(f"FSK answers holding a character no calling number may hold: {bad_chars}")
hours = 0.0; ours_digits = 0; ref_digits = 0
for rate in ('8000', '11025', '16000'):
    line = ours[f'speech-{rate}'].split('\t')
    seconds = float(line[1]); hours += seconds / 3600
    ours_digits += len(line[0]); ref_digits += len(refs.get(f'speech-{rate}', ('', ''))[1])
    print(f"talk-off at {rate} Hz over {seconds / 60:.1f} min of speech: ours {len(line[0])} digits ({line[0]!r}), "
          f"multimon-ng {len(refs.get(f'speech-{rate}', ('', ''))[1])}")
print(f"false DTMF digits per hour of speech: ours {ours_digits / hours:.1f}, multimon-ng {ref_digits / hours:.1f}")
PY
