#!/bin/sh
# asuser.sh PROGRAM [ARGS]: runs PROGRAM as a user who is not root (nobody), in a private
# mount namespace of its own (unshare -Ur through mountns.sh), so that the tests see what a
# non-root user sees: folders it may not read, owners it may not give. Run by root it
# switches to nobody; run by anyone else it stays that user.
here=$(dirname "$0")
if [ "$(id -u)" -ne 0 ]; then
    exec sh "$here/mountns.sh" "$@"
fi
if ! id nobody >/dev/null 2>&1 || ! command -v runuser >/dev/null 2>&1; then
    echo "asuser.sh: no user nobody or no runuser here" >&2
    echo "SKIP   : tst_backupengine::initTestCase() no user nobody or no runuser"
    exit 0
fi
exec runuser -u nobody -- env HOME=/tmp TMPDIR=/tmp sh "$here/mountns.sh" "$@"
