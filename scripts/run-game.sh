#!/bin/sh
# Starts the game from the repository root: run-game.sh BUILD_DIR.
# When data/server.xml names a score server on this machine (or there is no
# such file, and the game uses http://localhost:8000/) and nothing answers
# there yet, the project's own server runs beside the game until the game ends,
# so that Compete works on a fresh machine.
BUILD_DIR=${1:-build}

url=$(sed -n 's:.*<URL>[[:space:]]*\([^<[:space:]]*\)[[:space:]]*</URL>.*:\1:p' data/server.xml 2>/dev/null | head -n 1)
url=${url:-http://localhost:8000/}

port=""
case "$url" in
    http://localhost:*/ | http://127.0.0.1:*/)
        port=${url##*:}
        port=${port%/}
        ;;
esac
case "$port" in
    "" | *[!0-9]*) port="" ;;
esac

answers() {
    php -r 'exit(@fsockopen("127.0.0.1", (int)$argv[1], $code, $text, 1) ? 0 : 1);' "$1"
}

server_pid=""
if [ -n "$port" ] && ! answers "$port"; then
    log="$(cd "$BUILD_DIR" && pwd)/score-server.log"
    # Quiet: the request log would hold the passwords the game sends in URLs.
    # The server's own errors are not in it: they go to the log named here.
    php -q -d "error_log=$log" -S "127.0.0.1:$port" -t server/public >> "$log" 2>&1 &
    server_pid=$!
    trap 'kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null' EXIT
    trap 'exit 130' INT TERM HUP
    tries=0
    while ! answers "$port" && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    players=${STOMPATHON_SCORES_DB:-server/data/scores.sqlite}
    [ -z "${STOMPATHON_SCORES_DSN:-}" ] || players="the store of STOMPATHON_SCORES_DSN"
    echo "score server: http://localhost:$port/ (errors in $log, players in $players)"
elif [ -n "$port" ]; then
    echo "score server: using the one that already answers at $url"
else
    echo "score server: $url"
fi

"$BUILD_DIR/stompathon"
