#!/bin/sh
# mariadb-fixture.sh start|stop DIR: the throwaway server of the real-run tests, with the
# client configuration in DIR/home.
set -u
. "$(dirname "$0")/../scripts/lib/mariadb.sh"
action=$1
dir=$2
case "$dir" in
*/mariadb-fixture) ;;
*)
    echo "mariadb-fixture.sh: refusing folder $dir" >&2
    exit 1
    ;;
esac
case "$action" in
start)
    mariadb_stop "$dir" || exit 1
    rm -rf "$dir"
    mariadb_create "$dir" && mariadb_start "$dir" && mariadb_client_config "$dir/home" "$dir"
    ;;
stop)
    mariadb_stop "$dir"
    ;;
*)
    echo "usage: mariadb-fixture.sh start|stop DIR" >&2
    exit 1
    ;;
esac
