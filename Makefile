# Two entry points on a fresh machine: `make run` and `make test`.
BUILD      ?= build
BUILD_SAN  ?= build-san
GENERATOR  := -G Ninja
PACKAGES   := cmake g++ ninja-build libgtest-dev
JOBS       ?= 2

.PHONY: all build run test deps test-release test-sanitize gui-check clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Run as root:"; \
	    echo "  apt-get update && apt-get install -y$$missing"; \
	    exit 1; \
	  fi; \
	fi

build:
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELB_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target kelb701 kelb701-tool

run: build
	mkdir -p run
	@for f in data/kelb701.*; do [ -e "run/$$(basename $$f)" ] || cp "$$f" run/; done
	cd run && ../$(BUILD)/kelb701

test: deps test-release test-sanitize

test-release:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELB_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD_SAN) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELB_SANITIZE=ON -DKELB_TESTS=ON
	cmake --build $(BUILD_SAN) -j $(JOBS)
	KELB_SANITIZED=1 ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD_SAN)

# Opt-in: complete games under xboard against phalanx, fairymax and stockfish (not part of `make test`).
gui-check: build
	tools/gui-check/gui-check.sh
