#!/usr/bin/env bash
# Times the set-up a new developer goes through: a clean clone's `make test` (packages, build and
# every test) in a fresh Debian 12 made with debootstrap, which starts with only a compiler, CMake,
# git and make, as a new machine of ours does. Needs root and Debian's package mirror.
# Usage: tools/time-fresh-setup.sh [BASE_DIR [LOG_DIR]]
#   BASE_DIR keeps the bootstrapped system for another run (a copy of it is used each time).
#   LOG_DIR receives make's output and the build's .ninja_log, to see where the time went.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "run as root" >&2; exit 2; }
repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
mirror=http://deb.debian.org/debian
base=${1:-}
logs=${2:-}
work=$(mktemp -d /tmp/kivra-fresh-XXXXXX)
root=$work/root
cleanup() {
    for m in dev proc sys; do
        if mountpoint -q "$root/$m"; then umount -R "$root/$m" || umount -R -l "$root/$m"; fi
    done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

if [ -n "$base" ] && [ -x "$base/usr/bin/cmake" ]; then
    cp -a "$base" "$root"
else
    command -v debootstrap >/dev/null || apt-get install -y -q debootstrap
    debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
        { tail -20 "$work/debootstrap.log"; exit 1; }
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    in_root apt-get update -q >/dev/null
    in_root apt-get install -y -q --no-install-recommends g++ cmake make git ca-certificates \
        >/dev/null
    in_root apt-get clean
    rm -rf "$root/var/lib/apt/lists/"*  # a new machine has not fetched the lists yet
    [ -z "$base" ] || cp -a "$root" "$base"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
git clone -q "$repo" "$root/root/kivra"
# The same steps as `make test`, one at a time, so that the time of each shows.
phase() {
    local t0
    t0=$(date +%s)
    in_root sh -c "cd /root/kivra && make $1" >>"$work/make-test.log" 2>&1 || return 1
    times+=("$1 $(($(date +%s) - t0)) s")
}
times=()
start=$(date +%s)
if phase deps && phase configure && phase build && phase test; then
    status=passed
else
    status=FAILED
    tail -30 "$work/make-test.log"
fi
end=$(date +%s)
if [ -n "$logs" ]; then
    mkdir -p "$logs"
    cp "$work/make-test.log" "$logs/"
    cp "$root/root/kivra/build/.ninja_log" "$logs/ninja_log" 2>/dev/null || true
fi
grep -E "tests passed|Total Test time" "$work/make-test.log" || true
echo "phases: ${times[*]}"
echo "make test on a fresh Debian 12 ($(nproc) cores): $status in $((end - start)) s"
