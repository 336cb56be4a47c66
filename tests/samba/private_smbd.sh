# Sourced by the tests and scripts that need a private Samba server.
# start_private_smbd FOLDER starts Debian's smbd on a free loopback port with a
# configuration, state and one share (FOLDER/share, as guest, read and write)
# all inside FOLDER (the folders above it must let others pass); it sets `smb_port` and `smb_pid`, and stops the script
# with smbd's log when the server does not start. stop_private_smbd stops it by
# its process ID. smbd runs with -F in a process group of its own (it signals
# its whole group when it stops), with nothing on its standard input; a
# system-wide Samba is never started, stopped or asked.
start_private_smbd() {
    local folder=$1
    mkdir -p "$folder"/{private,lock,state,cache,pid,ncalrpc,share}
    # The guest account must reach the share through the folders above it.
    chmod 0755 "$folder"
    chmod 0777 "$folder/share"
    port_answers() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
    smb_pid=
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        smb_port=$((20000 + RANDOM % 40000))
        port_answers "$smb_port" && continue
        cat >"$folder/smb.conf" <<CONF
[global]
  smb ports = $smb_port
  interfaces = lo
  bind interfaces only = yes
  private dir = $folder/private
  lock directory = $folder/lock
  state directory = $folder/state
  cache directory = $folder/cache
  pid directory = $folder/pid
  ncalrpc dir = $folder/ncalrpc
  log file = $folder/smbd.log
  logging = file
  server role = standalone server
  passdb backend = tdbsam:$folder/private/passdb.tdb
  map to guest = Bad User
  guest account = nobody
  load printers = no
  printing = bsd
  printcap name = /dev/null
  disable spoolss = yes
  disable netbios = yes
  store dos attributes = yes
[share]
  path = $folder/share
  read only = no
  guest ok = yes
  guest only = yes
CONF
        /usr/sbin/smbd -F --configfile="$folder/smb.conf" </dev/null >>"$folder/smbd.out" 2>&1 &
        smb_pid=$!
        for _ in $(seq 1 100); do
            port_answers "$smb_port" && break
            kill -0 "$smb_pid" 2>/dev/null || break
            sleep 0.1
        done
        port_answers "$smb_port" && break
        kill "$smb_pid" 2>/dev/null || true
        wait "$smb_pid" 2>/dev/null || true
        smb_pid=
    done
    if [[ -z $smb_pid ]]; then
        echo "smbd did not start:" >&2
        cat "$folder/smbd.out" "$folder/smbd.log" >&2 2>/dev/null || true
        exit 1
    fi
}

stop_private_smbd() {
    [[ -n ${smb_pid:-} ]] || return 0
    kill "$smb_pid" 2>/dev/null || true
    wait "$smb_pid" 2>/dev/null || true
    smb_pid=
}

# smb_client FOLDER COMMANDS: runs smbclient's commands on the share, as guest.
smb_client() {
    smbclient -N -p "$smb_port" "//127.0.0.1/share" --configfile="$1/smb.conf" -c "$2" </dev/null
}
