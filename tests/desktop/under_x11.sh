#!/usr/bin/env bash
# Runs a widget test under a private X server of its own (Xvfb, no window manager), for
# what only a real window system shows: the primary selection, and which window holds
# the keyboard. Skipped (77) where Xvfb is not installed.
set -u
if ! command -v xvfb-run > /dev/null || ! command -v Xvfb > /dev/null; then
  echo "SKIP: xvfb-run and Xvfb are needed (scripts/install-deps.sh installs them)"
  exit 77
fi
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" env QT_QPA_PLATFORM=xcb "$@"
