#!/usr/bin/env bash
# Installs the Kivra package into a fresh, minimal Debian 12 made with debootstrap, the way a user
# would (apt-get install ./kivra_*.deb), then runs `kivra-cli info` on a video and starts kivra
# from its desktop entry with that video under a virtual screen, and saves a screenshot.
# Needs root and Debian's package mirror.
# Usage: tools/check-clean-install.sh PACKAGE.deb VIDEO [SCREENSHOT.png]
set -euo pipefail
if [ $# -lt 2 ] || [ "$(id -u)" -ne 0 ]; then
    echo "usage (as root): $0 PACKAGE.deb VIDEO [SCREENSHOT.png]" >&2
    exit 2
fi
deb=$(realpath -- "$1")
video=$(realpath -- "$2")
shot=$(realpath -m -- "${3:-kivra-clean-install.png}")
mirror=http://deb.debian.org/debian

work=$(mktemp -d /tmp/kivra-clean-install-XXXXXX)
root=$work/root
cleanup() {
    for m in dev proc sys; do
        if mountpoint -q "$root/$m"; then
            umount -R "$root/$m" || umount -R -l "$root/$m"
        fi
    done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
echo "== debootstrap --variant=minbase bookworm"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; exit 1; }
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"  # unmounting it later must not reach the host's /dev
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp -- "$deb" "$root/tmp/kivra.deb"
clip="/tmp/video.${video##*.}"
cp -- "$video" "$root$clip"
in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

echo "== apt-get install ./kivra.deb"
in_root apt-get update -q >/dev/null
in_root apt-get install -y -q ./tmp/kivra.deb >"$work/install.log" 2>&1 ||
    { tail -20 "$work/install.log"; exit 1; }
echo "== kivra-cli info $clip"
in_root kivra-cli info "$clip"

# The check's own tools, installed only after the package has shown it needs nothing else.
in_root apt-get install -y -q --no-install-recommends xvfb xauth x11-apps libglib2.0-bin >/dev/null
echo "== kivra from its desktop entry under xvfb-run"
# gio launches the entry's Exec line as a menu would; kivra ends when the virtual screen goes.
in_root xvfb-run -a -s "-screen 0 1280x900x24" sh -c \
    "gio launch /usr/share/applications/kivra.desktop '$clip' & sleep 8; xwd -root -silent >/tmp/screen.xwd"
convert "xwd:$root/tmp/screen.xwd" "$shot"
echo "== screenshot: $shot"
