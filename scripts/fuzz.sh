#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with libFuzzer, AddressSanitizer and UBSan
# into build-fuzz/, and runs each for the given seconds (60 by default) on its
# seed corpus. Prints runs and findings per target; exits non-zero when any
# target found something. Installs clang when missing (apt-get, as root or
# through sudo).
#
#     scripts/fuzz.sh [seconds]
#
# New inputs go to build-fuzz/corpus/<target>/ (the checked-in seeds in
# fuzz/corpus/ stay as they are); a finding is saved as
# build-fuzz/findings/<target>/crash-* and can be replayed with
#     build-fuzz/bin/fuzz_<target> build-fuzz/findings/<target>/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/install-deps.sh
need=()
command -v clang++ >/dev/null || need+=(clang)
# libFuzzer comes with the compiler runtime.
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long){return 0;}' |
        clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
    need+=(clang)
    ver="$(clang++ --version 2>/dev/null | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)"
    [ -n "$ver" ] && need+=("libclang-rt-$ver-dev")
fi
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize=fuzzer-no-link"
flags="$flags -fno-omit-frame-pointer -g"
targets=(answers replay lv3 trr fit csv cri numbers)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DLV300_FUZZ=ON -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# The file targets write a scratch file an input; in memory when possible.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
status=0
summary=()
for t in "${targets[@]}"; do
    corpus="build-fuzz/corpus/$t"
    findings="build-fuzz/findings/$t"
    mkdir -p "$corpus" "$findings"
    log="build-fuzz/fuzz_$t.log"
    echo "== fuzz_$t: ${seconds} s"
    set +e
    "build-fuzz/bin/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 \
        "$corpus" "fuzz/corpus/$t" >"$log" 2>&1
    rc=$?
    set -e
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    found="$(find "$findings" -type f | wc -l)"
    [ "$rc" -ne 0 ] && status=1
    summary+=("$(printf '%-14s runs %-10s findings %s%s' "fuzz_$t" "${runs:-?}" "$found" \
        "$([ "$rc" -ne 0 ] && echo " (exit $rc, see $log)")")")
done
rm -f "${TMPDIR:-/tmp}"/lv300-fuzz-* 2>/dev/null || true
echo
printf '%s\n' "${summary[@]}"
exit $status
