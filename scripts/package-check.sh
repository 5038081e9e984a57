#!/usr/bin/env bash
# Builds the Debian package, checks it (lintian, the desktop entry, the AppStream metadata,
# the service unit), installs it on this machine, starts the programs from their installed
# paths, and removes it again. CI runs it on a fresh machine; it refuses to touch an
# installed drovane. Usage: scripts/package-check.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
deb=$(scripts/package.sh "${1:-build}" | tail -n 1)
deb=$(realpath "$deb")
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if dpkg-query -W -f='${Status}' drovane 2>/dev/null | grep -q "install ok installed"; then
  echo "FAIL: drovane is installed already; remove it before checking the package"
  exit 1
fi
fail() { echo "FAIL: $*"; exit 1; }

echo "== lintian $deb"
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

work=$(mktemp -d)
cleanup() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y drovane >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "== installing"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$work/apt.txt" 2>&1 ||
  { cat "$work/apt.txt"; fail "the package does not install"; }

echo "== desktop entry and AppStream metadata"
desktop-file-validate /usr/share/applications/org.drovane.Drovane.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.drovane.Drovane.metainfo.xml
for page in /usr/share/man/man1/drovane*.1.gz; do
  zcat "$page" | groff -man -ww -z || fail "$page has roff errors"
done

if [ -x /usr/bin/drovane-cli ]; then
  echo "== drovane-cli"
  /usr/bin/drovane-cli --version || fail "drovane-cli --version"
  # --man=no: a minimal machine may lack the manual pages the unit points to.
  systemd-analyze verify --man=no /lib/systemd/system/drovane-cli.service ||
    fail "the service unit does not verify"
else
  echo "== the package holds no drovane-cli"
fi

echo "== drovane, offscreen, in a home of its own"
home="$work/home"
mkdir -m 0700 "$home"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
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
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y drovane >/dev/null
[ ! -e /usr/bin/drovane ] || fail "/usr/bin/drovane is left after removal"
echo "PASS: the package builds, installs, starts and leaves cleanly"
