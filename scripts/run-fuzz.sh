#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan + UBSan and runs each for a bounded time
# on its corpus. New inputs that grow coverage go to a scratch folder, not into the tree;
# a crash stops the script with the failing input in build-fuzz/artifacts/. Then the WebEngine
# page reader runs over the page corpora (kdau_webengine_pages).
#   bash scripts/run-fuzz.sh [SECONDS_PER_TARGET]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
build=build-fuzz
bash scripts/install-deps.sh
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKDAU_FUZZ=ON -DKDAU_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target kdau_fuzz -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:new_delete_type_mismatch=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$build/artifacts"
status=0
for target in fuzz/corpus/*/; do
  name="$(basename "$target")"
  scratch="$build/corpus/$name"
  mkdir -p "$scratch"
  echo "== $name (${seconds}s)"
  if ! "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/artifacts/$name-" -print_final_stats=1 \
      "$scratch" "$target" 2>"$build/$name.log"; then
    tail -40 "$build/$name.log"
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^Done" "$build/$name.log" || true
done

# The WebEngine page reader cannot run under libFuzzer (its browser engine is not
# instrumented and runs processes of its own): a plain build runs it over the page corpora,
# hostile pages and random changes of them for the same time.
plain=build
cmake -S . -B "$plain" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKDAU_BUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$plain" --target kdau_webengine_pages -j"$(nproc)"
echo "== WebEngine page reader (${seconds}s)"
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
if ! ASAN_OPTIONS= UBSAN_OPTIONS= timeout $((seconds + 300)) "$plain/bin/kdau_webengine_pages" \
    --seconds "$seconds" --artifact "$build/artifacts/webengine-page" fuzz/corpus/FuzzServicePageHeadless fuzz/corpus/FuzzDataIsland \
    >"$build/webengine-pages.log" 2>&1; then
  tail -20 "$build/webengine-pages.log"
  status=1
fi
tail -1 "$build/webengine-pages.log"
exit $status
