# A throwaway MariaDB server for the tests and the demo: its own data folder and socket
# under a folder of the caller's, never the machine's own server.
#
# Source this file (POSIX sh), then call:
#   mariadb_create DIR               create DIR and a fresh data folder DIR/data
#                                    (mariadb-install-db; root logs in without password)
#   mariadb_start DIR [OPTION...]    start mariadbd as the current user on DIR/mysqld.sock,
#                                    networking off, with the server OPTIONs given; returns
#                                    once it answers; its process id goes to DIR/server.pid,
#                                    its log to DIR/server.log
#   mariadb_client_config HOME DIR   write HOME/.my.cnf so that plain mysql and mysqldump
#                                    run with HOME=HOME reach this server
#   mariadb_stop DIR                 stop the server of DIR by its process id and wait
#   mariadb_socket DIR               print the socket path
# Each returns non-zero after a message on standard error when it fails.

mariadb_socket() {
    if [ -f "$1/socket-path" ]; then
        cat "$1/socket-path"
    else
        printf '%s\n' "$1/mysqld.sock"
    fi
}

mariadb_create() {
    _mdb_dir=$1
    if [ -z "$_mdb_dir" ]; then
        echo "mariadb_create: no folder given" >&2
        return 1
    fi
    mkdir -p "$_mdb_dir" || return 1
    # Unix socket paths are limited to 107 bytes: a deep folder gets its socket in /tmp.
    if [ ${#_mdb_dir} -gt 90 ]; then
        _mdb_short=$(mktemp -d "${TMPDIR:-/tmp}/mdb.XXXXXX") || return 1
        printf '%s\n' "$_mdb_short/mysqld.sock" >"$_mdb_dir/socket-path"
    fi
    if ! mariadb-install-db --no-defaults --datadir="$_mdb_dir/data" --user="$(id -un)" \
        --auth-root-authentication-method=normal --skip-test-db \
        >"$_mdb_dir/install.log" 2>&1; then
        echo "mariadb_create: mariadb-install-db failed, see $_mdb_dir/install.log" >&2
        return 1
    fi
}

mariadb_start() {
    _mdb_dir=$1
    shift
    _mdb_socket=$(mariadb_socket "$_mdb_dir")
    mariadbd --no-defaults --datadir="$_mdb_dir/data" --socket="$_mdb_socket" \
        --skip-networking --pid-file="$_mdb_dir/mariadbd.pid" --user="$(id -un)" \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        --innodb-buffer-pool-size=16M --log-error="$_mdb_dir/server.log" "$@" \
        </dev/null >>"$_mdb_dir/server.log" 2>&1 &
    echo $! >"$_mdb_dir/server.pid"
    _mdb_tries=0
    until mysqladmin --no-defaults --socket="$_mdb_socket" -uroot ping >/dev/null 2>&1; do
        if ! kill -0 "$(cat "$_mdb_dir/server.pid")" 2>/dev/null; then
            echo "mariadb_start: mariadbd ended, see $_mdb_dir/server.log" >&2
            return 1
        fi
        _mdb_tries=$((_mdb_tries + 1))
        if [ $_mdb_tries -gt 600 ]; then
            echo "mariadb_start: no answer after 60 s, see $_mdb_dir/server.log" >&2
            return 1
        fi
        sleep 0.1
    done
}

mariadb_client_config() {
    mkdir -p "$1" || return 1
    cat >"$1/.my.cnf" <<CNF
[client]
socket=$(mariadb_socket "$2")
user=root
default-character-set=utf8mb4
CNF
}

mariadb_stop() {
    _mdb_dir=$1
    mariadb_stop_server "$_mdb_dir" || return 1
    if [ -f "$_mdb_dir/socket-path" ]; then
        _mdb_short=$(dirname "$(cat "$_mdb_dir/socket-path")")
        rm -f "$_mdb_short/mysqld.sock"
        rmdir "$_mdb_short" 2>/dev/null
        rm -f "$_mdb_dir/socket-path"
    fi
    return 0
}

mariadb_stop_server() {
    _mdb_dir=$1
    [ -f "$_mdb_dir/server.pid" ] || return 0
    _mdb_pid=$(cat "$_mdb_dir/server.pid")
    rm -f "$_mdb_dir/server.pid"
    # Only the server of this folder: a reused process id belongs to someone else.
    if ! tr '\0' ' ' <"/proc/$_mdb_pid/cmdline" 2>/dev/null | grep -q -- "--datadir=$_mdb_dir/data"; then
        return 0
    fi
    kill -TERM "$_mdb_pid" || return 1
    # A test that stopped the server (SIGSTOP) and died before it let it go on.
    kill -CONT "$_mdb_pid" 2>/dev/null
    _mdb_tries=0
    while kill -0 "$_mdb_pid" 2>/dev/null; do
        _mdb_tries=$((_mdb_tries + 1))
        if [ $_mdb_tries -gt 600 ]; then
            echo "mariadb_stop: mariadbd $_mdb_pid still running after 60 s" >&2
            return 1
        fi
        sleep 0.1
    done
}
