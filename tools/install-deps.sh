#!/usr/bin/env bash
# tools/install-deps.sh COMMAND: installs, on Debian or Ubuntu, the packages that
# ./build.sh COMMAND needs and this machine lacks, and nothing else. Where
# apt-get is missing, or the user can be neither root nor use sudo, it installs
# nothing: the build goes on with what is there, and CMake names what it lacks.
set -uo pipefail
run=(build-essential cmake libsdl2-dev libgl-dev libglu1-mesa-dev)
# GoogleTest; the window driver's XCB; the test X server, its window manager and
# tools (xdpyinfo, xprop), the message boxes' fonts, llvmpipe; Wayland's compositor
# and the window decorations a Wayland desktop has; the desktop entry's checker; gdb,
# for the stacks of a window test the watchdog stops.
test=(libgtest-dev libx11-dev libxcb-xtest0-dev libxcb-damage0-dev xvfb openbox x11-utils
      xfonts-base libgl1-mesa-dri weston libdecor-0-plugin-1-cairo desktop-file-utils gdb)
clang=(clang libclang-rt-dev llvm)  # libFuzzer and the sanitizer runtimes; llvm symbolizes
windows=(g++-mingw-w64-x86-64-posix wine64)
web=(emscripten)  # its clang, binaryen, node and prebuilt libraries, all offline
debian13=(debootstrap git)  # a fresh Debian 13 root, and this repository cloned into it
case ${1:-run} in
  run) wanted=("${run[@]}") ;;
  test) wanted=("${run[@]}" "${test[@]}") ;;
  sanitize) wanted=("${run[@]}" "${test[@]}" "${clang[@]}") ;;
  fuzz) wanted=("${run[@]}" "${clang[@]}") ;;
  bench) wanted=("${run[@]}" libbenchmark-dev) ;;
  windows) wanted=(cmake make "${windows[@]}") ;;
  windows-test) wanted=("${run[@]}" "${test[@]}" "${windows[@]}" googletest) ;;
  web) wanted=(cmake make "${web[@]}") ;;
  web-test) wanted=("${run[@]}" "${test[@]}" "${web[@]}" chromium) ;;
  debian13) wanted=("${debian13[@]}") ;;
  *) echo "usage: $0 run|test|sanitize|fuzz|bench|windows|windows-test|web|web-test|debian13" >&2; exit 2 ;;
esac

skip() { echo "note: $1; building with what is installed" >&2; exit 0; }
command -v apt-get >/dev/null && command -v dpkg-query >/dev/null || skip "no apt-get here"
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null && { sudo -n true 2>/dev/null || [ -t 0 ]; }; then
  sudo="sudo"
else
  skip "cannot install ${missing[*]} without root or sudo"
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq &&
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
  skip "installing ${missing[*]} failed"
