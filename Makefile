# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run    installs missing packages, builds, starts the game
#   make test   installs missing packages, builds, runs every test
# and one more for hosting a competition on this machine:
#   make server runs the score server in the foreground (SERVER_HOST:SERVER_PORT)

BUILD_DIR := build
JOBS := $(shell nproc)
SERVER_HOST := 127.0.0.1
SERVER_PORT := 8000
# Tests draw with Mesa's software renderer into a virtual X display. It must not
# reset when its last client leaves: a test starting just then would be refused.
XVFB := xvfb-run -a -s "-screen 0 1024x768x24 -noreset"

.PHONY: all deps configure build game run server test bench artwork clean

all: build

deps:
	sh scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Everything: the game, the tests and the benchmarks.
build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

# The game alone, which is all a player's first `make run` needs.
game: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target stompathon

# The game, with the score server beside it when it should run on this machine.
run: game
	sh scripts/run-game.sh $(BUILD_DIR)

# Quiet: the request log would hold the passwords the game sends in URLs.
server: deps
	php -q -S $(SERVER_HOST):$(SERVER_PORT) -t server/public

test: build
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

bench: build
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) sh scripts/run-benchmarks.sh $(BUILD_DIR)
	pg_virtualenv -t $(BUILD_DIR)/bench/score_server_bench

# Pictures, font and sounds of data/, made again from the scripts.
artwork: deps
	/usr/bin/python3 scripts/make-artwork.py
	/usr/bin/python3 scripts/make-sounds.py

clean:
	rm -rf $(BUILD_DIR)
