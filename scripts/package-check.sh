#!/usr/bin/env bash
# Builds the two Debian packages, checks them (lintian, the server package's dependencies,
# the service units, the logrotate snippet, the desktop entry, the AppStream metadata),
# installs drovane-cli alone as a server would, then drovane beside it, starts the programs
# from their installed paths, and removes both again. CI runs it on a fresh machine; it
# refuses to touch an installed drovane. Usage: scripts/package-check.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
mapfile -t debs < <(scripts/package.sh "${1:-build-deb}" | tail -n 2)
cli_deb=$(realpath "${debs[0]}")
desktop_deb=$(realpath "${debs[1]}")
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
for package in drovane drovane-cli; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    echo "FAIL: $package is installed already; remove it before checking the packages"
    exit 1
  fi
done
fail() { echo "FAIL: $*"; exit 1; }

for deb in "$cli_deb" "$desktop_deb"; do
  echo "== lintian $deb"
  lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"
done
# A server installs the engine without the window's libraries, fonts or D-Bus.
depends=$(dpkg-deb -f "$cli_deb" Depends)
echo "drovane-cli depends on: $depends"
if grep -Eq 'libqt6(gui|widgets|dbus|keychain)|fonts-' <<<"$depends"; then
  fail "drovane-cli depends on more than Qt Core and Network"
fi
dpkg-deb -f "$desktop_deb" Depends | grep -q 'drovane-cli (= ' || fail "drovane does not depend on drovane-cli"

work=$(mktemp -d)
cleanup() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y drovane drovane-cli \
    >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
install_debs() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "$@" >"$work/apt.txt" 2>&1 ||
    { cat "$work/apt.txt"; fail "$* does not install"; }
}
echo "== installing drovane-cli alone"
install_debs "$cli_deb"
[ ! -e /usr/bin/drovane ] || fail "drovane-cli brought the window along"
/usr/bin/drovane-cli --version || fail "drovane-cli --version"
# --man=no: a minimal machine may lack the manual pages the units point to. Warnings fail
# too: systemd ignores a setting it cannot read and goes on without it.
for unit in /lib/systemd/system/drovane-cli.service /lib/systemd/system/drovane-cli@.service; do
  out=$(systemd-analyze verify --man=no "$unit" 2>&1) && [ -z "$out" ] ||
    { echo "$out"; fail "$unit does not verify"; }
done
logrotate --debug /etc/logrotate.d/drovane-cli >"$work/logrotate.txt" 2>&1 ||
  { cat "$work/logrotate.txt"; fail "the logrotate snippet does not parse"; }
grep -qi "error" "$work/logrotate.txt" && { cat "$work/logrotate.txt"; fail "logrotate reports errors"; }
zcat /usr/share/man/man1/drovane-cli.1.gz | groff -man -ww -z || fail "drovane-cli.1 has roff errors"
# Without the window's package there is no keyring, and the runner says so.
shown=$(/usr/bin/drovane-cli --folder "$work/server" settings show)
grep -q "keyring module is not installed" <<<"$shown" ||
  { echo "$shown"; fail "drovane-cli does not name where the password is kept"; }

echo "== installing drovane beside it"
install_debs "$desktop_deb"

echo "== desktop entry and AppStream metadata"
desktop-file-validate /usr/share/applications/org.drovane.Drovane.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.drovane.Drovane.metainfo.xml
zcat /usr/share/man/man1/drovane.1.gz | groff -man -ww -z || fail "drovane.1 has roff errors"
[ -f /usr/lib/drovane/plugins/drovane-keyring.so ] || fail "no keyring plugin"
shown=$(/usr/bin/drovane-cli --folder "$work/server" settings show)
grep -q "keyring module" <<<"$shown" && { echo "$shown"; fail "drovane-cli does not find the keyring plugin"; }

echo "== drovane, offscreen, in a home of its own"
home="$work/home"
mkdir -m 0700 "$home"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR \
  HOME="$home" QT_QPA_PLATFORM=offscreen \
  /usr/bin/drovane >"$work/out.txt" 2>&1 &
pid=$!
for _ in $(seq 1 30); do
  sleep 0.1
  kill -0 "$pid" 2>/dev/null || break
done
kill -0 "$pid" 2>/dev/null || { cat "$work/out.txt"; fail "drovane ended on its own"; }
kill -TERM "$pid"
rc=0
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid"
  fail "drovane did not quit within 10 s of SIGTERM"
fi
wait "$pid" || rc=$?
cat "$work/out.txt"
[ "$rc" -eq 0 ] || fail "drovane exit status $rc"
# The installed program keeps its files per user, even when it may write to /usr/bin.
[ -f "$home/.local/share/Drovane/settings.dat" ] || fail "no settings.dat in the per-user folder"
[ ! -e /usr/bin/settings.dat ] || fail "drovane wrote its files into /usr/bin"

echo "== removing"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y drovane drovane-cli >/dev/null
[ ! -e /usr/bin/drovane ] || fail "/usr/bin/drovane is left after removal"
[ ! -e /usr/bin/drovane-cli ] || fail "/usr/bin/drovane-cli is left after removal"
echo "PASS: both packages build, install, start and leave cleanly"
