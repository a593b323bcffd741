#!/usr/bin/env bash
# Set-up, build, run and test Tonvista on Debian 12.
#   ./tonvista.sh run    install what is missing, build, start the program
#   ./tonvista.sh test   install what is missing, build normally and with
#                        AddressSanitizer + UndefinedBehaviorSanitizer, run every test in both;
#                        then build the tests that run threads with ThreadSanitizer and run them
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config git
  qt6-base-dev fonts-ipafont-gothic
  portaudio19-dev libfftw3-dev libliquid-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth clang-format
  desktop-file-utils appstream python3 libxtst6
  pulseaudio pulseaudio-utils libasound2-plugins
)

# The tests that run more than one thread, for the ThreadSanitizer build:
# their programs, and a CTest pattern of their names.
TSAN_TARGETS=(pskengine_engine_test pskengine_abi_test pskengine_abi_live_test platform_tests
  end_to_end_tests)
TSAN_TESTS='^(Engine|SpscRing|Abi|LiveCapture|platform\.Posting|EndToEnd)\.'

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build() {  # build DIR [cmake options...] [-- targets...]
  local dir=$1 options=() targets=()
  shift
  while (($#)) && [ "$1" != "--" ]; do options+=("$1"); shift; done
  (($#)) && shift && targets=("$@")
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
  ninja -C "$dir" "${targets[@]}"
}

check_format() {
  local files
  files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || true)
  [ -n "$files" ] || return 0
  echo "Checking formatting (.clang-format)"
  # shellcheck disable=SC2086
  clang-format --dry-run --Werror $files
}

run_tests() {  # run_tests DIR [ctest options...]
  local dir=$1
  shift
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j2 --timeout 900 "$@"
}

# A DESTDIR install of the build in DIR: its desktop files validated, and the
# installed program started from its own folder until its main window shows.
check_install() {  # check_install DIR
  local root=$PWD/$1/install-root
  rm -rf "$root"
  DESTDIR=$root cmake --install "$1" >/dev/null
  local prefix
  prefix=$root$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$1/CMakeCache.txt")
  echo "Checking the install in $root"
  desktop-file-validate "$prefix"/share/applications/*.desktop
  appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml
  "$prefix/bin/tonvista" --version
  "$prefix/bin/tonvista-cli" --version
  xvfb-run -a -s "-screen 0 1280x1024x24" python3 tests/install/start_installed.py "$prefix/bin/tonvista"
}

case "${1:-}" in
  run)
    install_missing
    build build
    exec build/bin/tonvista
    ;;
  test)
    install_missing
    check_format
    build build
    run_tests build
    check_install build
    build build-asan -DTONVISTA_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      run_tests build-asan
    build build-tsan -DTONVISTA_SANITIZE=thread -- "${TSAN_TARGETS[@]}"
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp \
      run_tests build-tsan -R "$TSAN_TESTS"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
