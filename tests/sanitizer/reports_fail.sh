#!/usr/bin/env bash
# The sanitizer build is armed: each deliberate fault ends the process with a
# report on standard error and a status no test takes for success or for one
# of trawl's own exit statuses (0 to 3); without a fault, or with a leak that
# lsan.supp suppresses, the process exits 0 and writes nothing to standard error.
#
#   reports_fail.sh <trawl_sanitizer_faults executable>
set -euo pipefail

faults=${1:?usage: reports_fail.sh <trawl_sanitizer_faults executable>}
log=$(mktemp "${TMPDIR:-/tmp}/trawl-sanitizer-XXXXXX")
trap 'rm -f "$log"' EXIT
failed=0

# The caller's environment is kept: sanitizer options set there that disarm a
# check fail this test as well.
check() {  # fault, argument, expected status, text the report must hold
    local status=0
    # In a subshell of its own, which reports an abort into the log.
    ("$faults" "$1" "$2"; exit $?) >/dev/null 2>"$log" || status=$?
    if [[ $status -ne $3 ]]; then
        echo "FAIL: $1: exit status $status, expected $3" >&2
        failed=1
    elif [[ -n $4 ]] && ! grep -qF -- "$4" "$log"; then
        echo "FAIL: $1: standard error lacks \"$4\"" >&2
        failed=1
    elif [[ -z $4 && -s $log ]]; then
        echo "FAIL: $1: standard error is not empty" >&2
        failed=1
    else
        return 0
    fi
    head -c 3000 "$log" >&2
}

check none 1 0 ""
check heap-overflow 4 86 "ERROR: AddressSanitizer: heap-buffer-overflow"
check use-after-free 4 86 "ERROR: AddressSanitizer: heap-use-after-free"
check leak 100 86 "ERROR: LeakSanitizer: detected memory leaks"
check suppressed-leak 100 0 ""
check signed-overflow 1 86 "runtime error: signed integer overflow"
check float-cast 1000 86 "runtime error: 1e+13 is outside the range of representable values of type 'int'"
# The library assertion aborts (SIGABRT: status 134).
check vector-index 4 134 "Assertion '__n < this->size()' failed"

[[ $failed -eq 0 ]] || exit 1
echo "sanitizer reports: every fault ends the process with its report"
