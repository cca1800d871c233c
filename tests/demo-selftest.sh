#!/bin/sh
# Runs scripts/demo headless with the scripted session tests/demosession, then checks that
# the sandbox worked and that nothing the demo started is left running or mounted.
#   demo-selftest.sh REPO BUILD
repo=$1 build=$2
out=$build/demo-selftest
rm -rf "$out"
mkdir -p "$out"
fail=0

"$repo/scripts/demo" --build "$build" --selftest "$out" >"$out/demo.log" 2>&1
status=$?
cat "$out/demo.log"
echo "--- session findings"
cat "$out/results" 2>/dev/null
[ $status -eq 0 ] || { echo "FAIL: scripts/demo exited with $status"; fail=1; }
grep -q '^FAIL' "$out/results" 2>/dev/null && fail=1
grep -q '^ok session$' "$out/results" 2>/dev/null || { echo "FAIL: the session did not finish"; fail=1; }
[ -f "$out/powered-off" ] || { echo "FAIL: the poweroff stub did not run"; fail=1; }
grep -q '^RFB ' "$out/vnc-greeting" 2>/dev/null || { echo "FAIL: no VNC greeting"; fail=1; }
grep -q 'Connect a VNC viewer to 127.0.0.1:' "$out/demo.log" || { echo "FAIL: no VNC line"; fail=1; }
grep -q 'BackupData/appdb.sql' "$out/demo.log" || { echo "FAIL: stick listing lacks the dump"; fail=1; }

# Everything the demo started has ended, by the ids it recorded.
if [ -f "$out/pids" ]; then
    while read -r name pid; do
        if kill -0 "$pid" 2>/dev/null; then
            echo "FAIL: $name ($pid) still running"
            fail=1
        fi
    done <"$out/pids"
else
    echo "FAIL: the demo recorded no process ids"
    fail=1
fi
sandbox=$(sed -n 's/^panel-sandbox //p' "$out/sandbox" 2>/dev/null)
if [ -z "$sandbox" ]; then
    echo "FAIL: the demo named no sandbox"
    fail=1
else
    [ -e "$sandbox" ] && { echo "FAIL: sandbox $sandbox left behind"; fail=1; }
    grep -q "$sandbox" /proc/self/mountinfo && { echo "FAIL: $sandbox still mounted"; fail=1; }
fi
[ $fail -eq 0 ] && echo "demo self-test passed"
exit $fail
