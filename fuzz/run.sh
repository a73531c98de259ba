#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build for SECONDS each, over a scratch copy of
# its seed corpus, and fails on any finding (a non-zero exit or a crash,
# leak, timeout or out-of-memory file).
#
#   fuzz/run.sh BUILD_DIR [SECONDS] [NAME...]
#
# Findings are kept in BUILD_DIR/fuzz/artifacts/NAME/; rerun one with
# BUILD_DIR/bin/NAME <file>.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS] [NAME...]}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))

list=$build/fuzz/fuzzers.txt
if [ $# -gt 0 ]; then
    names=("$@")
else
    [ -f "$list" ] || { echo "run.sh: $list not found; configure with -DULMORA_BUILD_FUZZERS=ON" >&2; exit 2; }
    mapfile -t names < <(grep -v '^$' "$list")
fi
[ ${#names[@]} -gt 0 ] || { echo "run.sh: no fuzzers in $list" >&2; exit 2; }

failed=()
for name in "${names[@]}"; do
    exe=$build/bin/$name
    [ -x "$exe" ] || { echo "run.sh: $exe not built" >&2; failed+=("$name"); continue; }
    work=$build/fuzz/corpus-work/$name
    artifacts=$build/fuzz/artifacts/$name
    rm -rf "$artifacts"
    mkdir -p "$work" "$artifacts"
    seeds=()
    [ -d "$root/corpus/$name" ] && seeds=("$root/corpus/$name")
    echo "=== fuzz $name for ${seconds}s"
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work" "${seeds[@]}" 2>&1 | tail -n 40
    status=${PIPESTATUS[0]}
    findings=$(find "$artifacts" -type f | wc -l)
    if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
        echo "=== fuzz $name FAILED (exit $status, $findings finding(s) in $artifacts)"
        failed+=("$name")
    else
        echo "=== fuzz $name passed"
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: ${#failed[@]} of ${#names[@]} fuzzer(s) failed: ${failed[*]}"
    exit 1
fi
echo "fuzz: ${#names[@]} fuzzer(s) passed"
