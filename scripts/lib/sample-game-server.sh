# Sourced by scripts/demo and the browser scenario test: the sample game's
# packs made with qelpack and the development key, served by nginx as the
# calling user on a free loopback port, and the game processes of a plug-in
# folder. Callers stop nginx from an EXIT trap.
#
#   sample_game_packs QELPACK KEY PARTS WWW [EXTRA_BYTES]
#       init.pack and update.pack of the game "samplegame" into WWW; PARTS is
#       the build's folder of the sample game's parts; EXTRA_BYTES of random
#       game data make the init pack as big as a real one.
#   nginx_start FOLDER [RATE]
#       serves FOLDER/www at http://127.0.0.1:$NGINX_PORT/, each response at
#       most RATE (nginx's limit_rate, e.g. 512k); sets NGINX_PORT.
#   nginx_stop
#   programs_under FOLDER
#       the ids of the processes whose program file lies under FOLDER.

SAMPLE_GAME_ID=samplegame
SAMPLE_GAME_CLASS=QelSample
SAMPLE_GAME_TITLE="Sample Game"

sample_game_packs() {
  local qelpack=$1 key=$2 parts=$3 www=$4 extra=${5:-0}
  local trees
  trees=$(mktemp -d "${TMPDIR:-/tmp}/qel-packs-XXXXXX")
  mkdir -p "$trees/init/bin" "$trees/update"
  # InitKind 2: the game is a program whose window the launcher finds by its
  # class and title and embeds in the page.
  cat >"$trees/init/config.ini" <<INI
[GameLaunch]
InitKind=2
InitModule=bin/samplegame
UpdateModule=update.so
WndClassName=$SAMPLE_GAME_CLASS
WndTitle=$SAMPLE_GAME_TITLE
GameGUID=$SAMPLE_GAME_ID
INI
  cp "$parts/libqelsampleupdate.so" "$trees/init/update.so"
  cp "$parts/qelsamplegame" "$trees/init/bin/samplegame"
  # The game channel's library travels with the program that uses it.
  cp "$parts/libqelchannel.so.1" "$trees/init/bin/"
  if [ "$extra" -gt 0 ]; then
    mkdir -p "$trees/init/data"
    head -c "$extra" /dev/urandom >"$trees/init/data/world.dat"
  fi
  echo "the second version's patch" >"$trees/update/patch.txt"
  local status=0
  "$qelpack" create --key "$key" --guid "$SAMPLE_GAME_ID" "$trees/init" "$www/init.pack" >/dev/null &&
    "$qelpack" create --key "$key" --guid "$SAMPLE_GAME_ID" "$trees/update" "$www/update.pack" >/dev/null ||
    status=$?
  rm -rf "$trees"
  return $status
}

NGINX_PORT=
NGINX_PID=

# One process as the calling user, in the foreground of a background job,
# so that it needs no root and leaves nothing behind.
_nginx_config() {
  local folder=$1 port=$2 rate=$3
  cat <<CONF
daemon off;
master_process off;
pid $folder/nginx.pid;
error_log $folder/error.log;
events { worker_connections 64; }
http {
  access_log off;
  default_type application/octet-stream;
  types { text/html html; application/javascript js; text/css css; }
  client_body_temp_path $folder/tmp/body;
  proxy_temp_path $folder/tmp/proxy;
  fastcgi_temp_path $folder/tmp/fastcgi;
  uwsgi_temp_path $folder/tmp/uwsgi;
  scgi_temp_path $folder/tmp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $folder/www;
    limit_rate $rate;
  }
}
CONF
}

_nginx_program() {
  if [ -n "${QEL_NGINX:-}" ]; then echo "$QEL_NGINX"; return; fi
  PATH="$PATH:/usr/sbin:/usr/local/sbin" command -v nginx
}

nginx_start() {
  local folder=$1 rate=${2:-0}
  local program
  program=$(_nginx_program) || { echo "nginx is not installed (scripts/setup installs it)" >&2; return 1; }
  mkdir -p "$folder/www" "$folder/tmp"
  local attempt port pid
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    port=$((20000 + RANDOM % 40000))
    _nginx_config "$folder" "$port" "$rate" >"$folder/nginx.conf"
    : >"$folder/error.log"
    "$program" -p "$folder/" -c "$folder/nginx.conf" -e "$folder/error.log" </dev/null >>"$folder/nginx.out" 2>&1 &
    pid=$!
    # Ready when it answers; gone when the port was taken or it refused to start.
    while kill -0 "$pid" 2>/dev/null; do
      if curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$port/"; then
        NGINX_PORT=$port
        NGINX_PID=$(cat "$folder/nginx.pid" 2>/dev/null || echo "$pid")
        return 0
      fi
      sleep 0.05
    done
    wait "$pid" 2>/dev/null || true
    if ! grep -q "Address already in use" "$folder/error.log" "$folder/nginx.out"; then break; fi
  done
  echo "nginx did not start:" >&2
  cat "$folder/error.log" "$folder/nginx.out" >&2
  return 1
}

# The process that its pid file names is the background job started above.
nginx_stop() {
  [ -n "$NGINX_PID" ] || return 0
  kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
  NGINX_PID=
  return 0
}

programs_under() {
  local folder link program pid
  folder=$(cd "$1" && pwd -P) || return 0
  for link in /proc/[0-9]*/exe; do
    program=$(readlink "$link" 2>/dev/null) || continue
    case $program in
      "$folder"/*)
        pid=${link#/proc/}
        echo "${pid%/exe}"
        ;;
    esac
  done
}
