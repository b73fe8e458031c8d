#!/usr/bin/env bash
# tools/debian13-check.sh BUILD: the README's test commands on a fresh Debian 13
# as a new user meets it. Makes a minimal Debian 13 root under BUILD with
# debootstrap, from the archive apt uses here, clones this repository's HEAD
# into it and runs ./build.sh test and ./build.sh sanitize there as root, with
# warnings as errors; each installs its own packages. The root is removed
# afterwards, whatever the outcome: nothing is kept from one run to the next.
# Needs root, debootstrap and git.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
mkdir -p "$build"
root=$(cd "$build" && pwd -P)/debian13-root

mounted_under() { awk -v r="$root" '$5 == r || index($5, r "/") == 1 {print $5}' /proc/self/mountinfo; }
remove_root() {
  [ -e "$root" ] || return 0
  # Whatever the tests left running in the root keeps its mounts busy.
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then kill -KILL "${proc#/proc/}" 2>/dev/null || :; fi
  done
  # Innermost first; one still busy is detached all the same.
  mounted_under | sort -r | while read -r point; do umount "$point" 2>/dev/null || umount -l "$point"; done
  if [ -n "$(mounted_under)" ]; then
    echo "debian13: still mounted under $root; not removing it:" >&2
    mounted_under >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}
trap remove_root EXIT
remove_root

# The Debian archive apt already uses here (a mirror, say), not a guessed one.
mirror=$(apt-cache policy | awk '$2 ~ /^https?:/ && $3 ~ /^(bookworm|trixie|stable|oldstable)\// {print $2; exit}')
mirror=${mirror:-http://deb.debian.org/debian}
start=$SECONDS
echo "debian13: debootstrap trixie from $mirror"
debootstrap --variant=minbase trixie "$root" "$mirror" >"$build/debian13-debootstrap.log" 2>&1 ||
  { tail -20 "$build/debian13-debootstrap.log" >&2; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
git clone -q --no-local . "$root/root/clothsim"
echo "debian13: root ready in $((SECONDS - start)) s"

# A clean environment, as a new user's: no display, no variables of this run.
chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb CLOTHSIM_WERROR=ON \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  /bin/bash -c 'cd /root/clothsim && ./build.sh test && ./build.sh sanitize'
echo "debian13: passed in $((SECONDS - start)) s"
