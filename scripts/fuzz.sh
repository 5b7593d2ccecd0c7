#!/usr/bin/env bash
# Runs the fuzz targets with libFuzzer for a while, one after the other:
#   scripts/fuzz.sh [SECONDS] [--merge] [TARGET...]
# SECONDS per target, default 600; TARGET is reply_reader, user_texts,
# settings_load, phonebook, call_history or followed_message, default all
# six. Builds the "fuzz" preset (clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) first.
#
# Each target starts from its kept corpus, tests/fuzz/corpus/<name>/, and
# writes what it finds to build/fuzz/work/<name>/; the kept corpus is not
# touched unless --merge is given: then the inputs that reach code the kept
# corpus does not are added to it (libFuzzer's -merge=1, counting edges only,
# not how often each is taken, so that the kept corpus stays a few dozen
# files). Crashes land in build/fuzz/artifacts/<name>/.
#
# At the end it prints, per target, the executions, executions per second
# and libFuzzer's coverage figures (cov: edges, ft: features).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
merge=0
targets=()
for argument in "$@"; do
    case "$argument" in
    --merge) merge=1 ;;
    reply_reader | user_texts | settings_load | phonebook | call_history | followed_message) targets+=("$argument") ;;
    '' | *[!0-9]*)
        echo "usage: $0 [SECONDS] [--merge] [reply_reader|user_texts|settings_load|phonebook|call_history|followed_message]..." >&2
        exit 2
        ;;
    *) seconds=$argument ;;
    esac
done
if [ ${#targets[@]} -eq 0 ]; then
    targets=(reply_reader user_texts settings_load phonebook call_history followed_message)
fi
declare -A max_len=([reply_reader]=8192 [user_texts]=64 [settings_load]=4096 [phonebook]=8192
    [call_history]=4096 [followed_message]=20000)

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j 2 $(printf -- '--target fuzz_%s ' "${targets[@]}")

# ASan's default quarantine (256 MB of freed blocks kept back) makes page
# faults dominate for targets that allocate a lot inside Qt; a smaller one
# still catches a use after free of anything freed in the same input.
#
# A settings file can make Qt try to allocate tens of gigabytes (an @Variant
# value with a huge length); like the program's own malloc, the sanitizer's
# then returns null and Qt gives the value up, instead of the run ending.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=32:malloc_context_size=10:allocator_may_return_null=1}"

summary=()
failed=0
for name in "${targets[@]}"; do
    binary=build/fuzz/tests/fuzz/fuzz_$name
    kept=tests/fuzz/corpus/$name
    work=build/fuzz/work/$name
    artifacts=build/fuzz/artifacts/$name
    log=build/fuzz/fuzz_$name.log
    mkdir -p "$work" "$artifacts"

    printf '\n==== %s: %s s ====\n' "$name" "$seconds"
    status=0
    # The second folder only seeds; new inputs go to the first.
    nice -n 10 "$binary" "$work" "$kept" \
        -max_total_time="$seconds" -max_len="${max_len[$name]}" -timeout=20 \
        -dict="tests/fuzz/dict/$name.dict" -artifact_prefix="$artifacts/" -malloc_limit_mb=1000000 \
        -print_final_stats=1 -print_pcs=0 >"$log" 2>&1 || status=$?
    tail -n 15 "$log"

    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corpus=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
    verdict=ok
    if [ "$status" -ne 0 ]; then
        verdict="FAILED (exit $status, see $log and $artifacts/)"
        failed=1
    fi
    summary+=("$(printf '%-14s runs %-10s exec/s %-7s cov %-6s ft %-7s corpus %-12s %s' \
        "$name" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$verdict")")

    if [ "$merge" -eq 1 ] && [ "$status" -eq 0 ]; then
        before=$(find "$kept" -type f | wc -l)
        nice -n 10 "$binary" -merge=1 -use_counters=0 -max_len="${max_len[$name]}" "$kept" "$work" \
            >"build/fuzz/merge_$name.log" 2>&1
        after=$(find "$kept" -type f | wc -l)
        echo "merge: $kept holds $after inputs ($((after - before)) added)"
    fi
done

printf '\n==== summary (%s s per target) ====\n' "$seconds"
printf '%s\n' "${summary[@]}"
exit "$failed"
