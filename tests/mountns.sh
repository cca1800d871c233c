#!/bin/sh
# mountns.sh PROGRAM [ARGS]: runs PROGRAM in a private mount namespace, so that a test can
# mount a stick on its temporary system root without the machine seeing it. The namespace
# it left is passed on in PANEL_OUTER_MNT_NS; without a namespace the program runs as it
# is and its tests that need one skip.
outer=$(readlink /proc/self/ns/mnt)
for mode in "" "--map-root-user"; do
    if unshare $mode --mount --propagation private true 2>/dev/null; then
        PANEL_OUTER_MNT_NS=$outer exec unshare $mode --mount --propagation private "$@"
    fi
done
echo "mountns.sh: no private mount namespace here" >&2
exec "$@"
