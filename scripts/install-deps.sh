#!/bin/sh
# Installs every Debian package the project needs to build, test and run.
# Idempotent: packages already present are not fetched again.
set -e

PACKAGES="
build-essential cmake pkg-config
libopencv-dev libfreeimage-dev libfreetype-dev libtinyxml-dev libcurl4-openssl-dev
freeglut3-dev libglu1-mesa-dev libglew-dev libgl1-mesa-dri libx11-dev libv4l-dev
libgtest-dev libbenchmark-dev
xvfb xauth xdotool x11-utils imagemagick ffmpeg xdg-utils
python3 python3-opencv python3-numpy python3-selenium
fonts-dosis v4l-utils qv4l2
php-cli php-sqlite3 php-intl php-pgsql php-fpm nginx postgresql postgresql-common
libsdl2-mixer-dev
chromium chromium-driver
"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends $missing
