#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a bounded time.
#
#   bash fuzz/run.sh                     # about 25 s per target
#   FUZZ_SECONDS=3600 bash fuzz/run.sh   # an hour per target
#   FUZZ_TARGETS=fuzz_cp932 bash fuzz/run.sh
#
# For a long session on a machine with cores to spare, run one target by hand
# with several jobs and keep its findings in a corpus of your own, outside the
# repository:
#
#   cp -r fuzz/corpus/fuzz_settings_file /tmp/my-corpus
#   build-fuzz/fuzz_settings_file -max_len=16384 -timeout=10 \
#       -jobs=8 -workers=8 -max_total_time=28800 /tmp/my-corpus
#
# To replay a crash: build-fuzz/<target> <crash-file>. Inputs worth keeping
# for everyone belong in fuzz/make_corpus.py, not copied into fuzz/corpus/.
#
# The fuzzer runs on a copy of the checked-in corpus in a temporary folder:
# libFuzzer adds every input that finds new coverage to the corpus folder it
# is given, and the checked-in one must stay what make_corpus.py writes.
#
# Environment: BUILD_DIR (default build-fuzz beside fuzz/), FUZZ_SECONDS
# (default 25), FUZZ_TARGETS (default all), CXX (default clang++).
# Exits non-zero when a target finds a crash or an invariant breaks; the
# offending input is kept in $BUILD_DIR/artifacts/<target>/.
set -euo pipefail

FUZZ_DIR="$(cd "$(dirname "$0")" && pwd)"
BUILD_DIR="${BUILD_DIR:-$(cd "$FUZZ_DIR/.." && pwd)/build-fuzz}"
FUZZ_SECONDS="${FUZZ_SECONDS:-25}"
FUZZ_TARGETS="${FUZZ_TARGETS:-fuzz_settings_file fuzz_cp932}"

if [[ -z "${CXX:-}" ]]; then
    if command -v clang++ >/dev/null; then
        CXX=clang++
    elif command -v clang++-14 >/dev/null; then
        CXX=clang++-14
    else
        echo "run.sh: clang++ not found; install clang and libclang-rt-dev" >&2
        exit 2
    fi
fi

cmake -S "$FUZZ_DIR" -B "$BUILD_DIR" -DCMAKE_CXX_COMPILER="$CXX" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target $FUZZ_TARGETS

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-fuzz-run-XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

# Leaks count as findings; a UBSan report stops the run with its stack.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=()
for target in $FUZZ_TARGETS; do
    corpus="$WORK/corpus/$target"
    mkdir -p "$corpus"
    cp -R "$FUZZ_DIR/corpus/$target/." "$corpus/"
    artifacts="$BUILD_DIR/artifacts/$target"
    mkdir -p "$artifacts"

    args=(-max_total_time="$FUZZ_SECONDS" -timeout=10 -print_final_stats=1
          -artifact_prefix="$artifacts/")
    case "$target" in
        # Whole system.dat files and a little more: room for the bytes past
        # record 47 without letting the fuzzer wander into megabyte inputs.
        fuzz_settings_file) args+=(-max_len=16384 -dict="$FUZZ_DIR/settings.dict") ;;
    esac

    echo "=== $target: ${FUZZ_SECONDS}s"
    if ! "$BUILD_DIR/$target" "${args[@]}" "$corpus"; then
        echo "=== $target FAILED; inputs kept in $artifacts" >&2
        failed+=("$target")
    fi
done

if ((${#failed[@]} > 0)); then
    echo "fuzzing found problems in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzzing found nothing in ${FUZZ_SECONDS}s per target"
