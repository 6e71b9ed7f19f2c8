#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a normal build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

echo "== Build and test"
# The project's own CI: warnings are errors.
bash "$root/scripts/build.sh" "$root/build" -DKDAU_WERROR=ON
ctest --test-dir "$root/build" --output-on-failure -j 2

echo "== Sanitizer build (ASan + UBSan) and test"
bash "$root/scripts/build.sh" "$root/build-asan" -DKDAU_WERROR=ON -DKDAU_SANITIZE=ON -DKDAU_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
# Leaks are errors too, but for the toolkit's own, listed with their reasons in tests/lsan.supp.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:new_delete_type_mismatch=0 \
  LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j 2
