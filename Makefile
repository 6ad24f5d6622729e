# Entry points on a fresh machine: `make run` and `make test`; `make package` for the Debian package.
BUILD      ?= build
BUILD_SAN  ?= build-san
BUILD_FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := winboard uci fen config book learn posfile
BUILD_VG   ?= build-vg
BUILD_DIST ?= build-dist
PREFIX     ?= /usr/local
INSTALL_PREFIX = $(abspath $(PREFIX))
FAST       ?= build-fast
GENERATOR  := -G Ninja
BUILD_DEB  ?= build-deb
BUILD_PACKAGES := cmake g++ ninja-build
PACKAGES   := $(BUILD_PACKAGES) libgtest-dev clang-format
DEB_PACKAGES := dpkg-dev debhelper cmake g++
JOBS       ?= 2
# -Werror in the builds `make test` runs (WERROR=OFF lets a newer compiler's new warning through).
WERROR     ?= ON
# The developer build in $(BUILD) (make build, run, test) is compiled for this machine's processor: it only
# ever runs where it was built. NATIVE=OFF gives a plain x86-64 build, e.g. for valgrind on a processor with
# instructions valgrind does not know. Install and package builds are always plain x86-64.
NATIVE     ?= ON

.PHONY: all build fast run test deps test-release test-sanitize test-fuzz-smoke fuzz-build fuzz test-repeat valgrind \
        gui-check uci-referee model-check format format-check clean install package dist-build install-check bench-check

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
	@$(MAKE) --no-print-directory deps PACKAGES="$(BUILD_PACKAGES)"
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELB_TESTS=OFF -DKELB_NATIVE=$(NATIVE)
	cmake --build $(BUILD) -j $(JOBS) --target kelb701 kelb701-tool

# A profile-guided build for the local processor, for measuring against the build in $(BUILD) (the bench
# positions it trains on include some of the speed anchor's, so its figures flatter it). The instrumented
# build trains on the bench, then the same directory is rebuilt with the profile. Never copy it to another
# machine.
FAST_INPUTS := $(shell find src tools -name '*.cpp' -o -name '*.h') CMakeLists.txt
$(FAST)/.profiled: $(FAST_INPUTS) | deps
	cmake -S . -B $(FAST) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELB_TESTS=OFF -DKELB_NATIVE=ON -DKELB_PGO=GENERATE
	find $(FAST) -name '*.gcda' -delete
	cmake --build $(FAST) -j $(JOBS) --target kelb701-tool
	$(FAST)/kelb701-tool bench 6 > /dev/null
	cmake -S . -B $(FAST) $(GENERATOR) -DKELB_PGO=USE
	cmake --build $(FAST) -j $(JOBS) --target kelb701 kelb701-tool
	touch $@

fast: $(FAST)/.profiled

run: deps build
	mkdir -p run
	@for f in data/kelb701.*; do [ -e "run/$$(basename $$f)" ] || cp "$$f" run/; done
	cd run && $(abspath $(BUILD))/kelb701

# Every block runs even when one fails (its build included in its time); the last line gives each block's
# tests and time, and the counts of all of them.
TEST_BLOCKS := release:test-release:$(BUILD) sanitize:test-sanitize:$(BUILD_SAN) fuzz-smoke:test-fuzz-smoke:$(BUILD_FUZZ)
test: deps format-check
	@summary=""; status=0; \
	for block in $(TEST_BLOCKS); do \
	  name=$${block%%:*}; rest=$${block#*:}; target=$${rest%%:*}; dir=$${rest#*:}; \
	  rm -f $$dir/ctest-junit.xml; start=$$(date +%s); \
	  $(MAKE) --no-print-directory $$target; s=$$?; [ $$s -eq 0 ] || status=1; \
	  summary="$$summary $$name $$s $$dir/ctest-junit.xml $$(( $$(date +%s) - start ))"; \
	done; \
	tools/test-summary.sh $$summary; exit $$status

# The house format (the root .clang-format): `make format` rewrites, `make format-check` (part of `make test`)
# fails on the first file that differs.
FORMAT_FILES = $(shell find src tools tests -name '*.cpp' -o -name '*.h')
format:
	clang-format -i $(FORMAT_FILES)

format-check:
	clang-format --dry-run -Werror $(FORMAT_FILES)

test-release:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELB_TESTS=ON -DKELB_WERROR=$(WERROR) \
	  -DKELB_NATIVE=$(NATIVE)
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --output-junit $(abspath $(BUILD))/ctest-junit.xml

test-sanitize:
	cmake -S . -B $(BUILD_SAN) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELB_SANITIZE=ON -DKELB_CHECKED=ON -DKELB_TESTS=ON -DKELB_WERROR=$(WERROR)
	cmake --build $(BUILD_SAN) -j $(JOBS)
	KELB_SANITIZED=1 ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS) \
	  --output-junit $(abspath $(BUILD_SAN))/ctest-junit.xml

# The libFuzzer targets need clang with its fuzzer runtime; without it the smoke runs are skipped.
HAVE_LIBFUZZER = $(shell printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
	| clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o /tmp/kelb-libfuzzer-check.$$$$ >/dev/null 2>&1 \
	&& echo yes; rm -f /tmp/kelb-libfuzzer-check.$$$$)

fuzz-build:
	@test "$(HAVE_LIBFUZZER)" = yes || { echo "clang++ with libFuzzer is needed for the fuzz targets"; exit 1; }
	cmake -S . -B $(BUILD_FUZZ) $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKELB_FUZZ=ON -DKELB_CHECKED=ON -DKELB_TESTS=OFF -DKELB_WERROR=$(WERROR)
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

# A few seconds of each fuzz target after its seeds and kept findings (part of `make test` when clang is there).
test-fuzz-smoke:
	@if [ "$(HAVE_LIBFUZZER)" = yes ]; then \
	  $(MAKE) --no-print-directory fuzz-build && \
	  ctest --test-dir $(BUILD_FUZZ) --output-on-failure --output-junit $(abspath $(BUILD_FUZZ))/ctest-junit.xml; \
	else \
	  echo "fuzz smoke runs skipped: clang++ with libFuzzer not found"; \
	fi

# Opt-in: every fuzz target for FUZZ_SECONDS in turn; new inputs in $(BUILD_FUZZ)/fuzz-runs/<target>/corpus,
# findings in .../artifacts (copy a finding into tests/fuzz/corpus/<target>/ once it is fixed).
fuzz: fuzz-build
	@for t in $(FUZZ_TARGETS); do \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  tests/fuzz/run_fuzz.sh $(CURDIR)/$(BUILD_FUZZ)/fuzz_$$t $(FUZZ_SECONDS) $(CURDIR)/tests/fuzz/corpus/$$t \
	    $(CURDIR)/$(BUILD_FUZZ)/fuzz-runs/$$t || exit 1; \
	done

# The whole suite (release and sanitizer builds and the fuzz smoke runs, as `make test`) five times in a row;
# stops at the first failure. HOG=n runs n busy loops beside it, so that races show on a loaded machine.
REPEAT ?= 5
HOG    ?= 0
test-repeat: deps
	@hogs=""; \
	for h in $$(seq 1 $(HOG)); do (while :; do :; done) & hogs="$$hogs $$!"; done; \
	trap 'for p in $$hogs; do kill $$p 2>/dev/null; done' EXIT INT TERM; \
	for i in $$(seq 1 $(REPEAT)); do \
	  echo "=== suite run $$i of $(REPEAT) ==="; \
	  $(MAKE) --no-print-directory test-release test-sanitize test-fuzz-smoke || { echo "=== suite run $$i failed ==="; exit 1; }; \
	done; \
	echo "=== $(REPEAT) suite runs passed ==="

# Opt-in: the end-to-end tests and a whole game with every engine process under valgrind memcheck. Fails on
# any memory error, on memory definitely or indirectly lost, on a table or file not released at the end, and
# on a process that did not end by itself.
VALGRIND_TESTS ?= E2E|Robustness|GameProtocol|AwkwardInput|BookEngineTest|LearnEngineTest|SearchEndToEnd
VALGRIND_SCALE ?= 25
valgrind:
	@command -v valgrind >/dev/null || { echo "valgrind is missing: apt-get install valgrind"; exit 1; }
	cmake -S . -B $(BUILD_VG) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELB_TESTS=ON
	cmake --build $(BUILD_VG) -j $(JOBS)
	rm -rf $(BUILD_VG)/memcheck && mkdir -p $(BUILD_VG)/memcheck
	KELB_TIMEOUT_SCALE=$(VALGRIND_SCALE) \
	KELB_ENGINE_WRAPPER="valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
	  --show-leak-kinds=all --errors-for-leak-kinds=definite,indirect \
	  --log-file=$(abspath $(BUILD_VG))/memcheck/%p.log" \
	  ctest --test-dir $(BUILD_VG) --output-on-failure -j $(JOBS) --timeout 3600 -R '$(VALGRIND_TESTS)'
	tools/memcheck/memcheck-report.sh $(BUILD_VG)/memcheck

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ) $(BUILD_VG) $(BUILD_DIST) $(BUILD_DEB) $(FAST)

# Opt-in: complete games under xboard against phalanx, fairymax, gnuchess and stockfish at UCI_Elo 1500 and
# 2000, our engine under WinBoard and under UCI through polyglot (not part of `make test`).
# MATCHES=names (default: the full set; `smoke` for the fast control only), GAMES per match (default 10).
gui-check: build
	python3 -m unittest discover -s tools/gui-check -p 'test_*.py'
	tools/gui-check/gui-check.sh $(MATCHES)

# Opt-in: a UCI client library (node-uci) drives the engine through every option and "go" form and chess.js
# judges every move it shows; the same run against stockfish is the control (not part of `make test`).
uci-referee: build
	tools/uci-referee/uci-referee.sh

# Opt-in: the model-checked random command streams at length. MODEL_SEEDS streams of MODEL_STEPS commands per
# protocol from MODEL_FIRST_SEED on; MODEL_MINUTES keeps each protocol starting new seeds for that long.
MODEL_SEEDS ?= 40
MODEL_STEPS ?= 1000
model-check:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELB_TESTS=ON -DKELB_NATIVE=$(NATIVE)
	cmake --build $(BUILD) -j $(JOBS) --target test_driver
	MODEL_SEEDS=$(MODEL_SEEDS) MODEL_STEPS=$(MODEL_STEPS) MODEL_FIRST_SEED=$(MODEL_FIRST_SEED) \
	  MODEL_MINUTES=$(MODEL_MINUTES) $(BUILD)/test_driver --gtest_filter='ModelStreamE2E.*'

# Installation: an install build (plain Release for any x86-64, position-independent) that knows its data
# folder, so the engine finds the default kelb701.ini and kelb701.bok from whatever folder a GUI starts it in.
#   make dist-build [PREFIX=/usr/local]      as yourself: builds $(BUILD_DIST) for that prefix
#   sudo make install [DESTDIR=<staging>]    only copies what dist-build built, into the prefix it was built for
# Installing never compiles, so that no build folder ends up owned by root.
dist-build:
	@$(MAKE) --no-print-directory deps PACKAGES="$(BUILD_PACKAGES)"
	cmake -S . -B $(BUILD_DIST) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELB_TESTS=OFF -DKELB_PIE=ON \
	  -DCMAKE_INSTALL_PREFIX="$(INSTALL_PREFIX)" -DKELB_DATA_DIR="$(INSTALL_PREFIX)/share/games/kelb701"
	cmake --build $(BUILD_DIST) -j $(JOBS) --target kelb701 kelb701-manpage
	touch $(BUILD_DIST)/.built

install:
	@built="$$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' $(BUILD_DIST)/CMakeCache.txt 2>/dev/null)"; \
	want="$(if $(filter command line environment,$(origin PREFIX)),$(INSTALL_PREFIX),$$built)"; \
	todo="make dist-build$(if $(filter command line environment,$(origin PREFIX)), PREFIX=$(PREFIX))"; \
	if [ -z "$$built" ] || [ ! -f $(BUILD_DIST)/.built ]; then \
	  echo "Nothing is built for installing. First, as yourself (not root):"; echo "  $$todo"; \
	  echo "then install it (as root for a system folder):"; echo "  sudo make install"; exit 1; \
	elif [ "$$built" != "$$want" ]; then \
	  echo "$(BUILD_DIST) was built for $$built, not for $$want. First, as yourself (not root):"; \
	  echo "  $$todo"; exit 1; \
	elif [ -n "$$(find src cmake CMakeLists.txt dist/kelb701.6 -newer $(BUILD_DIST)/.built | head -n 1)" ]; then \
	  echo "The sources changed since $(BUILD_DIST) was built. First, as yourself (not root):"; \
	  echo "  $$todo"; exit 1; \
	fi; \
	echo "Installing the engine built in $(BUILD_DIST) into $(DESTDIR)$$built"; \
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIST) --strip && \
	chown --reference=$(BUILD_DIST) $(BUILD_DIST)/install_manifest.txt

# The Debian package, built the Debian way from debian/ (debhelper: Debian's hardening flags, stripping,
# compressed documentation, reproducible output) in a copy of the sources under $(BUILD_DEB); the .deb is
# copied here. Run as root, it first installs the build dependencies; otherwise it names them. The copy holds
# what the build reads (not the uci-referee's npm modules).
DEB_SOURCES := CMakeLists.txt Makefile COPYING README.md DEVELOPING.md cmake data debian dist src tests tools
package:
	@$(MAKE) --no-print-directory deps PACKAGES="$(DEB_PACKAGES)"
	rm -rf $(BUILD_DEB)
	mkdir -p $(BUILD_DEB)/kelb701
	tar -cf - --exclude=node_modules $(DEB_SOURCES) | tar -xf - -C $(BUILD_DEB)/kelb701
	cd $(BUILD_DEB)/kelb701 && dpkg-buildpackage -us -uc -b
	cp $(BUILD_DEB)/kelb701_*.deb .
	@echo "Built $$(ls kelb701_*.deb) (install: sudo apt-get install ./$$(ls kelb701_*.deb))"

# Opt-in: installs into a temporary prefix (or checks the installed package with INSTALLED=/usr) and plays short
# matches under xboard and under UCI through polyglot from empty folders (not part of `make test`).
install-check:
	tools/install-check/install-check.sh

# Proof that a speed change left the search alone: bench signature, perft counts, evaluation fingerprint.
bench-check: build
	tools/bench-check.sh $(BUILD)/kelb701-tool
