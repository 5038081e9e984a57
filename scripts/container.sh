#!/usr/bin/env bash
# Builds the drovane-cli container image with podman and smoke-tests it against the
# registrar stand-in: a run in the container buys a name, reading its password from a
# mounted secret and keeping its files in a volume, then `podman stop` ends it with status 0.
# No image registry is needed: the Debian 12 base is made by mmdebstrap from Debian's
# mirror. Works on a fresh Debian 12 machine (installs what it needs), as root or with sudo.
# Usage: scripts/container.sh [--no-test]
# Environment: MIRROR (default http://deb.debian.org), PODMAN_RUNTIME (default runc: crun
# refuses some hosts' cgroups), NOFILE and NPROC (the containers' open-files and process
# limits, default 4096 each).
set -euo pipefail
cd "$(dirname "$0")/.."
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
mirror=${MIRROR:-http://deb.debian.org}
image=localhost/drovane/drovane-cli
base=localhost/drovane/debian12-base:latest
fail() { echo "FAIL: $*"; exit 1; }

need=(podman runc mmdebstrap uidmap)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  "${as_root[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
podman=("${as_root[@]}" podman --runtime "${PODMAN_RUNTIME:-runc}")
# Lowered limits: podman's defaults may be above the host's own hard limits, which the
# runtime then fails to set ("error setting rlimit type 6": the process limit).
limits=(--ulimit "nofile=${NOFILE:-4096}:${NOFILE:-4096}" --ulimit "nproc=${NPROC:-4096}:${NPROC:-4096}")

echo "== the drovane-cli package"
mapfile -t debs < <(scripts/package.sh build-deb | tail -n 2)
cli_deb=${debs[0]}
version=$(dpkg-deb -f "$cli_deb" Version)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The base holds what the package depends on, so that building the image installs the
# package without a network.
depends=$(dpkg-deb -f "$cli_deb" Depends | sed -e 's/([^)]*)//g' -e 's/ //g')
stamp=$(sha256sum <<<"$depends" | cut -c1-12)
if ! "${podman[@]}" image exists "$base" ||
   [ "$("${podman[@]}" image inspect -f '{{index .Labels "org.drovane.depends"}}' "$base")" != "$stamp" ]; then
  echo "== a Debian 12 base with $depends (mmdebstrap from $mirror)"
  "${as_root[@]}" mmdebstrap --variant=minbase --include="$depends" \
    --aptopt='APT::Install-Recommends "false"' \
    --customize-hook='rm -rf "$1"/var/lib/apt/lists/*' \
    bookworm "$work/base.tar" \
    "deb $mirror/debian bookworm main" "deb $mirror/debian bookworm-updates main" \
    "deb $mirror/debian-security bookworm-security main"
  "${podman[@]}" import --change "LABEL org.drovane.depends=$stamp" \
    --change 'CMD ["/bin/sh"]' "$work/base.tar" "$base" >/dev/null
fi

echo "== the image $image:$version"
cp "$cli_deb" "$work/drovane-cli.deb"
cp packaging/Containerfile "$work/Containerfile"
previous=$("${podman[@]}" image inspect -f '{{.Id}}' "$image:latest" 2>/dev/null || true)
"${podman[@]}" build "${limits[@]}" --network none --build-arg "BASE=$base" \
  -t "$image:$version" -t "$image:latest" -f "$work/Containerfile" "$work"

# The image this one replaces, unless a container still uses it.
if [ -n "$previous" ] && [ "$previous" != "$("${podman[@]}" image inspect -f '{{.Id}}' "$image:latest")" ]; then
  "${podman[@]}" rmi "$previous" >/dev/null 2>&1 || true
fi

[ "${1:-}" = "--no-test" ] && exit 0

echo "== smoke test against the registrar stand-in"
cmake --build build-deb --target registrar_standin >/dev/null
name=drovane-smoke-$$
port=$((20000 + $$ % 20000))
build-deb/tools/registrar_standin "$port" >"$work/standin.txt" 2>&1 &
standin=$!
cleanup() {
  "${podman[@]}" rm -f "$name" >/dev/null 2>&1 || true
  "${podman[@]}" volume rm -f "$name" >/dev/null 2>&1 || true
  "${podman[@]}" secret rm "$name" >/dev/null 2>&1 || true
  kill "$standin" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
"${podman[@]}" volume create "$name" >/dev/null
printf 'smoke-secret' | "${podman[@]}" secret create "$name" - >/dev/null
cli() { "${podman[@]}" run --rm "${limits[@]}" -v "$name:/var/lib/drovane" "$image:$version" "$@"; }
cli settings set username smoke
cli settings set interval 1
cli settings set secure false # the stand-in speaks plain HTTP
cli domains add free1.com taken1.com
[ "$("${podman[@]}" run --rm "${limits[@]}" --entrypoint id "$image:$version" -u)" = 10001 ] || fail "the image runs as root"

"${podman[@]}" run -d --name "$name" "${limits[@]}" --network host \
  --secret "$name,target=registrar-password,uid=10001,mode=0400" \
  -v "$name:/var/lib/drovane" "$image:$version" \
  run --yes --quiet --registrar "127.0.0.1:$port" >/dev/null
for _ in $(seq 1 60); do
  "${podman[@]}" logs "$name" 2>&1 | grep -q " ordered " && break
  sleep 1
done
"${podman[@]}" logs "$name" 2>&1 | grep -q " ordered " ||
  { "${podman[@]}" logs "$name"; fail "no order within 60 s"; }
grep -q "pw=smoke-secret" "$work/standin.txt" || fail "the run did not use the mounted secret"
"${podman[@]}" stop -t 30 "$name" >/dev/null
status=$("${podman[@]}" inspect -f '{{.State.ExitCode}}' "$name")
"${podman[@]}" logs "$name"
[ "$status" = 0 ] || fail "podman stop ended the run with status $status"
# The run saved the files twice: the secret must not have gone into settings.dat.
cli settings show | grep -q '^password *[*]' && fail "the password went into settings.dat"
"${podman[@]}" run --rm "${limits[@]}" -v "$name:/var/lib/drovane" --entrypoint cat "$image:$version" \
  /var/lib/drovane/orders.txt | grep -q "free1.com" || fail "no orders.txt in the volume"
echo "PASS: $image:$version buys a name from a mounted secret and stops with status 0"
