# The simulated device of scripts/demo: a system root with a sample /opt, a tmpfs stick
# mounted on its /mnt/usb, a dev/sda node, a throwaway MariaDB server seeded with small
# appdb and Misc databases, the printer simulator on a pseudo-terminal and a poweroff stub.
# Needs bash, a private mount namespace (see scripts/demo) and scripts/lib/mariadb.sh.
#
#   sandbox_up SANDBOX PRINTERSIM   builds it all under SANDBOX and exports PANEL_SYSROOT,
#                                   PANEL_PRINTER_PORT, HOME and PATH for the panel; the
#                                   process ids go to SANDBOX/pids
#   sandbox_down SANDBOX            stops what sandbox_up started, by process id, and unmounts
#   sandbox_stick_listing SANDBOX   what the simulated stick holds

sandbox_sample_opt() {
    local opt=$1/opt
    mkdir -p "$opt/Brevin/bin" "$opt/Brevin/config" "$opt/Brevin/labels" "$opt/Brevin/data"
    printf '#!/bin/sh\necho "Brevin scale application"\n' >"$opt/Brevin/bin/brevin"
    chmod 755 "$opt/Brevin/bin/brevin"
    printf '[scale]\nunit=kg\ndivision=0.002\n' >"$opt/Brevin/config/scale.ini"
    printf 'shop=Demo shop\nlanguage=de\n' >"$opt/Brevin/config/.settings"
    printf 'P,480,420\r\nROTATE,0\r\n' >"$opt/Brevin/labels/60x60.fmt"
    printf 'plu;name;price\n1;Äpfel;2.49\n2;Brot;3.10\n' >"$opt/Brevin/data/plu.csv"
    ln -s labels/60x60.fmt "$opt/Brevin/default.fmt"
    mkdir -p "$opt/fonts"
    printf 'font cache\n' >"$opt/fonts/cache.txt"
}

sandbox_seed_databases() {
    mysql <<'SQL'
CREATE DATABASE appdb CHARACTER SET utf8mb4;
CREATE TABLE appdb.plu (id INT PRIMARY KEY, name VARCHAR(40), price DECIMAL(8,2));
INSERT INTO appdb.plu VALUES (1, 'Äpfel', 2.49), (2, 'Brot', 3.10), (3, 'Käse', 12.90);
CREATE TABLE appdb.sales (id INT AUTO_INCREMENT PRIMARY KEY, plu INT, weight_g INT,
                          sold_at DATETIME);
INSERT INTO appdb.sales (plu, weight_g, sold_at) VALUES (1, 1250, '2026-12-01 09:30:00'),
                                                        (3, 410, '2026-12-01 09:41:00');
CREATE DATABASE Misc CHARACTER SET utf8mb4;
CREATE TABLE Misc.settings (name VARCHAR(40) PRIMARY KEY, value VARCHAR(200));
INSERT INTO Misc.settings VALUES ('shop', 'Demo shop'), ('currency', 'EUR'),
                                 ('header', 'Frische Ware täglich');
SQL
}

sandbox_up() {
    local sandbox=$1 printersim=$2 root=$1/root
    : >"$sandbox/pids"
    mkdir -p "$root/mnt/usb" "$root/dev" "$sandbox/home" "$sandbox/bin"
    sandbox_sample_opt "$root"
    # The device that a backup set names.
    mkdir -p "$root/etc"
    echo 5ca1ede0000000000000000000000001 >"$root/etc/machine-id"
    echo demo-scale >"$root/etc/hostname"
    : >"$root/dev/sda"
    mount -t tmpfs -o size=256m,mode=0755 demostick "$root/mnt/usb"

    mariadb_create "$sandbox/db"
    mariadb_start "$sandbox/db"
    echo "mariadbd $(cat "$sandbox/db/server.pid")" >>"$sandbox/pids"
    mariadb_client_config "$sandbox/home" "$sandbox/db"
    export HOME=$sandbox/home
    sandbox_seed_databases

    "$printersim" --link "$sandbox/printer" --log "$sandbox/printer.log" \
        >"$sandbox/printersim.out" 2>&1 &
    echo "printersim $!" >>"$sandbox/pids"
    local tries=0
    until [ -e "$sandbox/printer" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            echo "demo: the printer simulator did not start" >&2
            return 1
        fi
        sleep 0.05
    done
    export PANEL_PRINTER_PORT=$sandbox/printer

    # Powering off ends the panel, as the device going down would.
    cat >"$sandbox/bin/poweroff" <<STUB
#!/bin/sh
date >"$sandbox/powered-off"
kill -TERM "\$(cat "$sandbox/panel.pid")"
STUB
    chmod 755 "$sandbox/bin/poweroff"
    export PATH=$sandbox/bin:$PATH
    export PANEL_SYSROOT=$root
}

sandbox_stick_listing() {
    local listing
    listing=$(cd "$1/root/mnt/usb" && find . -mindepth 1 | sort | sed 's|^\./|  |')
    printf '%s\n' "${listing:-  (nothing)}"
}

sandbox_down() {
    local sandbox=$1 name pid
    if [ -f "$sandbox/pids" ]; then
        while read -r name pid; do
            [ "$name" = mariadbd ] && continue
            kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
        done <"$sandbox/pids"
    fi
    [ -f "$sandbox/db/server.pid" ] && mariadb_stop "$sandbox/db"
    if mountpoint -q "$sandbox/root/mnt/usb"; then
        umount "$sandbox/root/mnt/usb"
    fi
}
