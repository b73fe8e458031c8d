#!/usr/bin/env bash
# ./build.sh run    install what is missing, build, start the program
# ./build.sh test   install what is missing, build, run every test
# ./build.sh bench  install what is missing, build and run the benchmarks
# ./build.sh fuzz [SECONDS]  install what is missing, build and fuzz the bitmap
#                   decoder (60 s by default); a crash, leak, timeout or out-of-memory fails
# ./build.sh sanitize  every test again, built by clang with AddressSanitizer and
#                      UndefinedBehaviorSanitizer (undefined behaviour and leaks fail)
# ./build.sh windows   cross-build clothsim.exe and clothtrace.exe with mingw-w64
# ./build.sh windows-test  the Windows build's tests, under Wine
# ./build.sh web      build the browser version into build-web/ with emscripten
# ./build.sh web-test  its tests: under node, and the page in headless Chromium
# ./build.sh debian13  test and sanitize, as a new user would run them, in a fresh
#                      Debian 13 root made with debootstrap (as root; CI runs it)
set -euo pipefail
cd "$(dirname "$0")"
what=${1:-run}
build=${BUILD:-build}
jobs=$(nproc 2>/dev/null || echo 2)

case "$what" in run | test | bench | fuzz | sanitize | windows | windows-test | web | web-test | debian13)
  tools/install-deps.sh "$what" ;;
esac
# Debian's and Ubuntu's clang, whatever its version.
clang=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
# CLOTHSIM_WERROR=ON in the environment turns warnings into errors (CI sets it).
werror=-DCLOTHSIM_WERROR=${CLOTHSIM_WERROR:-OFF}

case "$what" in
  run)
    cmake -S . -B "$build" "$werror" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLOTHSIM_TESTS=OFF
    cmake --build "$build" -j "$jobs" --target clothsim
    # From the repository root, so "Data/foulard.bmp" resolves.
    exec "./$build/app/clothsim"
    ;;
  test)
    cmake -S . -B "$build" "$werror" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLOTHSIM_TESTS=ON
    cmake --build "$build" -j "$jobs"
    cd "$build"
    exec ctest --output-on-failure -j "$jobs" -LE 'wine|web'
    ;;
  windows | windows-test)
    cmake -S . -B "$build-windows" "$werror" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLOTHSIM_TESTS=ON
    cmake --build "$build-windows" -j "$jobs" --target clothsim clothtrace cloth_tests
    [ "$what" = windows ] && exit 0
    # Run from the Linux tree, which has the test X server and the driver.
    cmake -S . -B "$build" "$werror" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLOTHSIM_TESTS=ON \
      -DCLOTHSIM_WINDOWS_BUILD="$PWD/$build-windows"
    cmake --build "$build" -j "$jobs"
    cd "$build"
    exec ctest --output-on-failure -j "$jobs" -L wine
    ;;
  web | web-test)
    # Debian's emscripten finds its JavaScript modules through NODE_PATH when
    # the node on the PATH is not Debian's own.
    NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B "$build-web" "$werror" -DCMAKE_BUILD_TYPE=Release >/dev/null
    NODE_PATH=/usr/share/nodejs cmake --build "$build-web" -j "$jobs" --target clothsim clothtrace
    if [ "$what" = web ]; then
      echo "Built $build-web/. Serve it with"
      echo "  python3 -m http.server -d $build-web --bind 127.0.0.1 8000"
      echo "and open http://127.0.0.1:8000/ in a browser."
      exit 0
    fi
    # Compared with the desktop build, on the desktop tests' X server.
    cmake -S . -B "$build" "$werror" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLOTHSIM_TESTS=ON \
      -DCLOTHSIM_WEB_BUILD="$PWD/$build-web"
    cmake --build "$build" -j "$jobs"
    cd "$build"
    exec ctest --output-on-failure -j "$jobs" -L web
    ;;
  bench)
    cmake -S . -B "$build-bench" -DCMAKE_BUILD_TYPE=Release -DCLOTHSIM_BENCH=ON -DCLOTHSIM_TESTS=OFF
    cmake --build "$build-bench" -j "$jobs"
    "./$build-bench/bench/cloth_bench"
    # Offscreen: no X server needed, and no present cost in the figure.
    SDL_VIDEODRIVER=offscreen DISPLAY= "./$build-bench/bench/frame_bench"
    ;;
  fuzz)
    # clang's libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer. New
    # inputs collect in the tree's corpus; the seeds are the public suite kept with
    # the tests and the program's own picture.
    cmake -S . -B "$build-fuzz" "$werror" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLOTHSIM_TESTS=OFF -DCLOTHSIM_FUZZ=ON \
      "${clang[@]}"
    cmake --build "$build-fuzz" -j "$jobs" --target dib_fuzzer
    suite=tests/data/bmpsuite
    mkdir -p "$build-fuzz/corpus"
    exec "./$build-fuzz/fuzz/dib_fuzzer" -max_total_time="${2:-60}" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build-fuzz/" \
      "$build-fuzz/corpus" "$suite/g" "$suite/q" "$suite/b" Data
    ;;
  sanitize)
    cmake -S . -B "$build-sanitize" "$werror" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLOTHSIM_SANITIZE=ON \
      -DCLOTHSIM_TESTS=ON "${clang[@]}"
    cmake --build "$build-sanitize" -j "$jobs"
    cd "$build-sanitize"
    exec ctest --output-on-failure -j "$jobs"
    ;;
  debian13)
    exec tools/debian13-check.sh "$build"
    ;;
  *)
    echo "usage: ./build.sh run|test|bench|sanitize|fuzz [SECONDS]|windows|windows-test|web|web-test|debian13" >&2
    exit 2
    ;;
esac
