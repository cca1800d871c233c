# Sourced by the test scripts: scratch_begin NAME makes the scratch folder $work, removed on
# exit; the process whose id the script puts in $child (one it started) is ended first.
scratch_end() {
    if [ -n "$child" ]; then
        kill "$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    fi
    rm -rf "$work"
}
scratch_begin() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    child=
    trap scratch_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
