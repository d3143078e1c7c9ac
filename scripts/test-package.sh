#!/usr/bin/env bash
# Builds the Debian package "pell" from an existing full build, checks it with lintian, installs
# it, records one call on the simulated line box as a desktop user of the group "pell", lists
# the recording, runs the recorder's service (under systemd when it runs, else its ExecStart as
# its user) and stops it in the middle of a call, which must be filed, purges the package and
# checks that nothing of it is left.
# Usage: scripts/test-package.sh [build folder]   (as root, or with sudo; the default is build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then exec sudo bash "$0" "$build"; fi
  echo "package test skipped: installing a package needs root" >&2
  exit 0
fi
if dpkg-query -W -f='${Status}' pell 2>/dev/null | grep -q "install ok"; then
  echo "package test skipped: pell is installed here, and the test would purge it" >&2
  exit 0
fi

user=pell-install-test
home=/home/$user
log=$build/package/test-package.log
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== building the package"
rm -f "$build"/package/pell_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null
deb=$(ls "$build"/package/pell_*.deb)
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
# One version everywhere: the package's is the project's, which the About boxes show.
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(dpkg-deb -f "$deb" Version)" = "$project_version" ] ||
  fail "package version $(dpkg-deb -f "$deb" Version) is not the project's $project_version"

echo "== lintian"
status=0
report=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) || status=$?
grep -v "running with root" <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings"

# Everything below undoes itself, also when a step fails.
recorder=""
service=""
cleanup() {
  for pid in "$recorder" "$service"; do
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  done
  if [ -d /run/systemd/system/pell-recorder.service.d ]; then
    systemctl stop pell-recorder.service 2>/dev/null || true
    rm -rf /run/systemd/system/pell-recorder.service.d
    systemctl daemon-reload || true
  fi
  rm -rf /run/pell-service-test /run/pell-recorder
  if dpkg-query -W -f='${Status}' pell 2>/dev/null | grep -q "ok"; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y pell >>"$log" 2>&1 || true
  fi
  if id "$user" >/dev/null 2>&1; then userdel --remove "$user" 2>/dev/null || true; fi
}
trap cleanup EXIT

# The desktop user exists before the first look at the system, so that only the package's
# traces differ afterwards; the user's own files are their home folder.
useradd --create-home --shell /bin/bash "$user"
snapshot() {
  find /etc /usr /var /opt /srv \
    \( -path /var/log -o -path /var/cache -o -path /var/tmp -o -path /var/lib/dpkg \
       -o -path /var/lib/apt -o -path /var/backups -o -path /var/mail -o -path /var/spool \) \
    -prune -o -print 2>/dev/null | sort
}
snapshot >"$build/package/before.txt"

echo "== installing $deb"
mkdir -p "$build/package"
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" >"$log" 2>&1 ||
  { cat "$log"; fail "apt-get install"; }
getent group pell >/dev/null || fail "the group pell was not created"
for dir in /var/lib/pell/recorder /var/lib/pell/player /var/lib/pell/recordings/line1 \
  /var/lib/pell/recordings/line2; do
  [ "$(stat -c '%a %U %G' "$dir")" = "2770 root pell" ] || fail "$dir: $(stat -c '%a %U %G' "$dir")"
done
grep -q '^PathToProg=/var/lib/pell/recorder$' "/etc/xdg/Zorvek Software/TeluvaRecorder.conf" ||
  fail "the recorder's PathToProg"
grep -q '^PathToProg=/var/lib/pell/player$' "/etc/xdg/Zorvek Software/TeluvaPlayer.conf" ||
  fail "the player's PathToProg"
[ -f /var/lib/pell/recorder/settings.ini ] || fail "no settings.ini in the recorder's folder"
desktop-file-validate /usr/share/applications/com.zorvek.*.desktop || fail "desktop entries"
appstreamcli validate --no-net /usr/share/metainfo/com.zorvek.PellRecorder.metainfo.xml >/dev/null ||
  fail "AppStream data"
sed -n 's/^Exec=//p' /usr/share/applications/com.zorvek.*.desktop | while read -r program; do
  [ -x "/usr/bin/$program" ] || fail "a menu entry starts $program, which is not installed"
done
# Each menu entry's icon must be installed by its program.
for icon in $(sed -n 's/^Icon=//p' /usr/share/applications/com.zorvek.*.desktop); do
  find /usr/share/icons/hicolor -name "$icon.*" | grep -q . || fail "no icon $icon"
done

usermod --append --groups pell "$user"
# setpriv and env exec the program: the process started in the background is the program.
as_user=(setpriv --reuid="$user" --regid="$user" --init-groups -- env -i HOME="$home" USER="$user"
  LOGNAME="$user" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$home/.run" PULSE_SERVER=unix:/nonexistent)
as_user() { "${as_user[@]}" "$@"; }
as_user mkdir -m 0700 -p "$home/.run" "$home/scenario"

echo "== recording a call on the simulated line box as $user"
# Line 1 rings and is answered at 1 s and hangs up at 3 s; the recorder stops once the line is
# released and its minimum time since the seizure has passed.
as_user sox -n -r 8000 -c 2 -b 16 "$home/scenario/call.wav" synth 20 sine 440 sine 660 gain -12
printf '1 1 active\n3 1 idle\n' | as_user tee "$home/scenario/timeline.txt" >/dev/null
"${as_user[@]}" QT_QPA_PLATFORM=offscreen PELL_LINE_BOX_SCENARIO="$home/scenario" PellRecorder \
  >>"$log" 2>&1 &
recorder=$!
# The counter file is written when a recording has been filed.
for _ in $(seq 1 60); do
  sleep 0.5
  kill -0 "$recorder" 2>/dev/null || { cat "$log"; fail "PellRecorder ended before filing a call"; }
  [ -s /var/lib/pell/recorder/channel1 ] && break
done
[ -s /var/lib/pell/recorder/channel1 ] || fail "no recording was filed within 30 s (log: $log)"
kill -TERM "$recorder"
status=0
wait "$recorder" || status=$?
recorder=""
[ "$status" -eq 0 ] || fail "PellRecorder ended with status $status after SIGTERM"
mapfile -t roots < <(tr -d '\r' </var/lib/pell/player/paths.ini)
listing=$(as_user pell-catalogue list --from "$(date -d yesterday +%F)" \
  --to "$(date -d tomorrow +%F)" "${roots[@]}")
echo "$listing"
grep -q "/var/lib/pell/recordings/line1/.*\.mp3" <<<"$listing" || fail "pell-catalogue lists no recording"
# Whatever the recorder made stays readable and writable by the other members.
foreign=$(find /var/lib/pell -newer "$home/scenario/timeline.txt" \( ! -group pell -o ! -perm -g=rw \))
[ -z "$foreign" ] || fail "not shared with the group pell: $foreign"

echo "== the recorder's service, with nobody logged in"
unit=/lib/systemd/system/pell-recorder.service
[ -f "$unit" ] || fail "no $unit"
[ -z "$(find /etc/systemd/system -name pell-recorder.service 2>/dev/null)" ] ||
  fail "pell-recorder.service is enabled on install; it must ship disabled"
man_check=--man=yes
command -v man >/dev/null || man_check=--man=no
systemd-analyze verify "$man_check" "$unit" || fail "systemd-analyze verify $unit"
unit_value() { sed -n "s/^$1=//p" "$unit"; }
svc_user=$(unit_value User)
svc_group=$(unit_value Group)
svc_groups=$(unit_value SupplementaryGroups)
kill_signal=$(unit_value KillSignal)
for group in "$svc_group" $svc_groups; do
  id -nG "$svc_user" | tr ' ' '\n' | grep -qx "$group" || fail "$svc_user is not in the group $group"
done
# The box's HID function is the group pell's too, so the service can read the line states.
grep -q 'GROUP="pell"' /usr/lib/udev/rules.d/70-pell-line-box.rules || fail "the udev rule gives pell no access"

# Line 1 is seized at 1 s and stays seized: the stop comes in the middle of the call, which
# must be filed all the same.
scenario=/run/pell-service-test
mkdir -m 0755 "$scenario"
sox -n -r 8000 -c 2 -b 16 "$scenario/call.wav" synth 60 sine 440 sine 660 gain -12
printf '1 1 active\n' >"$scenario/timeline.txt"
chmod 0644 "$scenario"/*
counter_before=$(cat /var/lib/pell/recorder/channel1)
journal=/var/lib/pell/recorder/channel1.journal
wait_for_call() {
  for _ in $(seq 1 60); do
    sleep 0.5
    "$@" || { cat "$service_log" 2>/dev/null; fail "the service ended before the call began"; }
    [ -e "$journal" ] && return 0
  done
  fail "the service recorded no call within 30 s"
}
service_log=$build/package/service.log
if [ -d /run/systemd/system ]; then
  # systemd runs here: the real unit, with the simulated box added by a drop-in.
  mkdir -p /run/systemd/system/pell-recorder.service.d
  printf '[Service]\nEnvironment=PELL_LINE_BOX_SCENARIO=%s\n' "$scenario" \
    >/run/systemd/system/pell-recorder.service.d/test.conf
  systemctl daemon-reload
  systemctl start pell-recorder.service
  wait_for_call systemctl --quiet is-active pell-recorder.service
  sleep 2
  systemctl stop pell-recorder.service
  [ "$(systemctl show -p ExecMainStatus --value pell-recorder.service)" = 0 ] ||
    fail "the service ended with status $(systemctl show -p ExecMainStatus --value pell-recorder.service)"
  journalctl -u pell-recorder.service --no-pager -n 50 >"$service_log" 2>&1 || true
else
  # No systemd here (CI): ExecStart as the unit's user, groups, umask, folders and environment.
  echo "(systemd is not running: the unit's ExecStart is run as $svc_user)"
  runtime=/run/$(unit_value RuntimeDirectory)
  install -d -m "$(unit_value RuntimeDirectoryMode)" -o "$svc_user" -g "$svc_group" "$runtime"
  mapfile -t unit_env < <(unit_value Environment)
  read -r -a exec_start <<<"$(unit_value ExecStart)"
  svc_home=$(getent passwd "$svc_user" | cut -d: -f6)
  setpriv --reuid="$svc_user" --regid="$svc_group" --groups="$(tr ' ' ',' <<<"$svc_groups")" -- \
    env -i HOME="$svc_home" USER="$svc_user" LOGNAME="$svc_user" PATH=/usr/bin:/bin "${unit_env[@]}" \
    PELL_LINE_BOX_SCENARIO="$scenario" \
    sh -c 'umask "$1" && cd "$2" && shift 2 && exec "$@"' sh "$(unit_value UMask)" \
    "$(unit_value WorkingDirectory)" "${exec_start[@]}" >"$service_log" 2>&1 &
  service=$!
  wait_for_call kill -0 "$service"
  sleep 2
  kill -s "${kill_signal#SIG}" "$service"
  status=0
  wait "$service" || status=$?
  service=""
  [ "$status" -eq 0 ] || { cat "$service_log"; fail "the service's recorder ended with $status after $kill_signal"; }
fi
[ ! -e "$journal" ] || fail "the call was still open after the stop (log: $service_log)"
[ "$(cat /var/lib/pell/recorder/channel1)" != "$counter_before" ] || fail "the stop filed no call"
filed=$(find /var/lib/pell/recordings/line1 -name '*.mp3' -user "$svc_user" -group pell -perm -g=rw)
[ -n "$filed" ] || fail "no recording of $svc_user shared with the group pell"
echo "filed by the service: $filed"

echo "== removing: settings and recordings stay"
DEBIAN_FRONTEND=noninteractive apt-get remove -y pell >>"$log" 2>&1 || { cat "$log"; fail "remove"; }
[ ! -e /usr/bin/PellRecorder ] || fail "PellRecorder is left after remove"
for kept in /var/lib/pell/recorder/settings.ini /var/lib/pell/player/paths.ini \
  /var/lib/pell/recordings/line1 /etc/pell/TeluvaRecorder.conf; do
  [ -e "$kept" ] || fail "$kept was not kept on remove"
done

echo "== purging"
DEBIAN_FRONTEND=noninteractive apt-get purge -y pell >>"$log" 2>&1 || { cat "$log"; fail "purge"; }
snapshot >"$build/package/after.txt"
# Packages that apt brought in as dependencies stay; they own their files. With /usr merged,
# dpkg may know a file under its old name (/bin/setfacl for /usr/bin/setfacl).
owned() {
  dpkg-query -S "$1" >/dev/null 2>&1 && return 0
  case $1 in
    /usr/bin/* | /usr/sbin/* | /usr/lib/* | /usr/lib64/*) dpkg-query -S "${1#/usr}" >/dev/null 2>&1 ;;
    *) return 1 ;;
  esac
}
left=$(comm -13 "$build/package/before.txt" "$build/package/after.txt" |
  while IFS= read -r path; do owned "$path" || echo "$path"; done)
[ -z "$left" ] || fail "left after purge: $left"
! getent group pell >/dev/null || fail "the group pell is left after purge"
! getent passwd pell-recorder >/dev/null || fail "the user pell-recorder is left after purge"
echo "== package test passed: installed, used by $user, purged without leftovers"
