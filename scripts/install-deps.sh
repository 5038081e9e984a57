#!/usr/bin/env bash
# Installs the Debian 12 packages Drovane needs to build, run and test, if missing.
# With --package, also what building and checking the Debian package needs.
set -euo pipefail
# qtkeychain-qt6-dev builds the keyring plugin; gnome-keyring (with libsecret-1-0, which
# QtKeychain loads at run time) is the Secret Service the keyring test starts on a private
# session bus (dbus-daemon, dbus-send from dbus-bin). qt6-base-private-dev lets the
# accessibility tests switch Qt's accessibility on in-process.
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-private-dev qtkeychain-qt6-dev
          libbenchmark-dev fonts-wine fonts-liberation2 xvfb xauth dbus-daemon dbus-bin
          gnome-keyring libsecret-1-0
          clang clang-format clang-tidy libclang-rt-14-dev
          ca-certificates libssl-dev python3 curl)
if [ "${1:-}" = "--package" ]; then
  # dpkg-shlibdeps (dpkg-dev) and file compute the packages' dependencies, dpkg-buildflags
  # (dpkg-dev) the hardening flags; the rest check them.
  packages+=(dpkg-dev file lintian desktop-file-utils appstream systemd man-db groff-base
             logrotate)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
