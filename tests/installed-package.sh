#!/bin/sh
# Checks the panel's package as a device would have it: unpacked into a throwaway root
# (dpkg -x; the machine itself is not touched), the installed program run from there on the
# offscreen platform with a temporary system root.
#
#   installed-package.sh SERVICEPANEL.deb [EMULATOR]
#
# EMULATOR (such as qemu-aarch64-static) runs a package of another architecture.
set -eu
deb=$1
emulator=${2:-}
. "$(dirname "$0")/scratch.sh"
scratch_begin sppkg

passed=0 failed=0
pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; }

root=$work/root
mkdir -p "$root" "$work/sysroot/opt" "$work/sysroot/mnt/usb" "$work/runtime"
chmod 700 "$work/runtime"
dpkg -x "$deb" "$root"
panel=$root/usr/bin/servicepanel

# What the package holds, and where.
if [ -x "$panel" ]; then pass "the panel is /usr/bin/servicepanel"; else fail "no /usr/bin/servicepanel"; fi
if [ -e "$root/opt" ]; then fail "the package installs under /opt"; else pass "nothing under /opt"; fi
for file in copyright changelog.gz; do
    if [ -f "$root/usr/share/doc/servicepanel/$file" ]; then
        pass "/usr/share/doc/servicepanel/$file"
    else
        fail "no /usr/share/doc/servicepanel/$file"
    fi
done
if [ -f "$root/usr/share/servicepanel/servicepanel.service" ] &&
    [ ! -e "$root/lib/systemd" ] && [ ! -e "$root/usr/lib/systemd" ] && [ ! -e "$root/etc" ]; then
    pass "the sample unit is shipped, not installed as a unit"
else
    fail "the sample unit is missing or installed where systemd would find it"
fi
depends=$(dpkg-deb -f "$deb" Depends)
for needed in 'mariadb-client | default-mysql-client' fonts-dejavu-core fonts-unifont \
    fonts-wqy-microhei coreutils libqt6widgets6 libqt6serialport6; do
    case $depends in
    *"$needed"*) pass "depends on $needed" ;;
    *) fail "does not depend on $needed: $depends" ;;
    esac
done

# The installed program, on the offscreen platform, with its own system root. It replaces the
# shell that calls it: call it in a subshell.
run_env() {
    exec env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=C QT_QPA_PLATFORM=offscreen \
        PANEL_SYSROOT="$work/sysroot" XDG_RUNTIME_DIR="$work/runtime" \
        PANEL_PRINTER_PORT="$work/no-printer" "$@"
}

status=0
(run_env $emulator "$panel" --page=settings) >"$work/bad.out" 2>"$work/bad.err" || status=$?
if [ $status -eq 2 ] && [ "$(wc -l <"$work/bad.err")" -eq 1 ] &&
    grep -q 'backup, printer or start' "$work/bad.err"; then
    pass "--page=settings exits 2 with one line"
else
    fail "--page=settings: status $status, error output:"
    cat "$work/bad.err"
fi

# In a subshell that becomes the panel (env execs it in turn): $! is then the panel's own id
# (or the emulator's, which runs it), not that of a shell around it.
(run_env $emulator "$panel" --page=printer) >"$work/run.out" 2>"$work/run.err" &
child=$!
# It traces its arguments, then builds its window: give it time (more under an emulator)
# and it must still be running, having said nothing else.
settle=3
[ -n "$emulator" ] && settle=15
tries=0
while [ "$(grep -c '^new_argv=' "$work/run.err")" -lt 4 ] && [ $tries -lt 300 ]; do
    kill -0 "$child" 2>/dev/null || break
    tries=$((tries + 1))
    sleep 0.1
done
sleep $settle
if kill -0 "$child" 2>/dev/null; then
    kill "$child"
    status=0
    wait "$child" || status=$?
    child=
    # Only the four trace lines, the language chosen, and the offscreen platform's note on
    # fixed-size windows.
    others=$(grep -v -e '^new_argv= "' -e '^language: en (from the locale C)$' \
        -e '^This plugin does not support propagateSizeHints()$' "$work/run.err" || true)
    if [ "$(grep -c '^new_argv= "' "$work/run.err")" -eq 4 ] && [ -z "$others" ] &&
        [ $status -eq 143 ]; then
        pass "--page=printer starts and runs until it is stopped"
    else
        fail "--page=printer: status $status after SIGTERM, error output:"
        cat "$work/run.err"
    fi
else
    status=0
    wait "$child" || status=$?
    child=
    fail "--page=printer ended by itself with status $status, error output:"
    cat "$work/run.err"
fi

# Nothing this check started may outlive it: every process that runs the unpacked panel or
# has the scratch folder in its environment is one of ours.
left=
for proc in /proc/[0-9]*; do
    pid=${proc#/proc/}
    [ "$pid" = $$ ] && continue
    if cat "$proc/cmdline" 2>/dev/null | tr '\0' '\n' | grep -qF "$work/" ||
        cat "$proc/environ" 2>/dev/null | tr '\0' '\n' | grep -qF "PANEL_SYSROOT=$work/"; then
        left="$left $pid"
    fi
done
if [ -z "$left" ]; then
    pass "no process is left running"
else
    fail "processes left running:$left"
    for pid in $left; do
        cat "/proc/$pid/cmdline" 2>/dev/null | tr '\0' ' ' && echo
        kill -KILL "$pid" 2>/dev/null || true
    done
fi

echo "installed-package: $passed passed, $failed failed"
[ $failed -eq 0 ]
