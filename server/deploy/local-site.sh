#!/bin/sh
# Runs this site as it is hosted, without installing it: nginx and PHP-FPM as
# plain processes of the calling user, with copies of nginx-site.conf and
# php-fpm-pool.conf that change only the paths (into FOLDER, where the logs go
# too), the port (127.0.0.1:PORT) and the user. For trying a change of the
# configuration, the tests and the load benchmark:
#   sh server/deploy/local-site.sh FOLDER PORT
# The store is the one STOMPATHON_SCORES_DB or STOMPATHON_SCORES_DSN (with
# _USER and _PASSWORD) names, as for any server. Ctrl-C stops both.
set -e
folder=$(cd "$1" && pwd)
port=$2
deploy=$(cd "$(dirname "$0")" && pwd)
user=$(id -un)
group=$(id -gn)

sed -e "s:/srv/stompathon/server:$(dirname "$deploy"):" -e "s:/var/log/nginx/:$folder/:" \
    -e "s:/run/php/:$folder/:" -e "s/listen 80;/listen 127.0.0.1:$port;/" -e "/listen \[::\]:80;/d" \
    "$deploy/nginx-site.conf" > "$folder/nginx-site.conf"
{
    echo "pid $folder/nginx.pid;"
    echo "user $user $group;"      # for root, whose scratch folders nobody else reads
    echo "events {}"
    echo "http {"
    echo "include /etc/nginx/mime.types;"
    for temporary in client_body fastcgi proxy scgi uwsgi; do
        echo "${temporary}_temp_path $folder/$temporary;"
    done
    echo "include $folder/nginx-site.conf;"
    echo "}"
} > "$folder/nginx.conf"

{
    echo "[global]"
    echo "error_log = $folder/php-fpm.log"
    sed -e "s:/run/php/:$folder/:" -e "s/group = www-data/group = $group/" -e "s/= www-data/= $user/" \
        "$deploy/php-fpm-pool.conf"
    for name in STOMPATHON_SCORES_DB STOMPATHON_SCORES_DSN STOMPATHON_SCORES_USER STOMPATHON_SCORES_PASSWORD \
                STOMPATHON_SIGNUPS_PER_HOUR; do
        eval "value=\${$name:-}"
        [ -z "$value" ] || echo "env[$name] = \"$value\""
    done
} > "$folder/php-fpm.conf"

rm -f "$folder/stompathon-fpm.sock"
# PHP-FPM leaves the process group for a session of its own: it is told to stop
# when its parent, this script and then nginx, ends in any way.
setpriv --pdeathsig TERM "$(ls -v /usr/sbin/php-fpm* | tail -n 1)" --nodaemonize --allow-to-run-as-root \
    --fpm-config "$folder/php-fpm.conf" &
tries=0
while [ ! -S "$folder/stompathon-fpm.sock" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
exec nginx -p "$folder/" -e "$folder/nginx.log" -c "$folder/nginx.conf" -g "daemon off;"
