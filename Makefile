# Thin wrapper over the CMake presets.
PRESET ?= dev
DEMO_DIR ?= demo
EXAMPLE ?= examples/first_lens.txt
BIN = build/$(PRESET)/driver/kevrano
# make install: where the programs go (DESTDIR stages them elsewhere), and the
# optimised preset without tests that builds only the two programs.
PREFIX ?= /usr/local
DIST_PRESET ?= dist

.PHONY: all deps deps-test build test run demo install package asan bench fuzz clean

all: build

# Installs the missing Debian packages when run as root, or says which.
deps:
	@scripts/deps.sh build

deps-test:
	@scripts/deps.sh test

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

test: deps-test build
	ctest --preset $(PRESET)

# Interactive run at the keyboard.
run: build
	./$(BIN)

# Runs the bundled example answer script; the report (and tor file) land in $(DEMO_DIR)/.
# Builds only the two programs: kevrano, which it runs, and kevrano-tor, which
# the README runs next on the tor file. The script is named relative to the
# demo folder, as a script's name holds 70 characters.
demo: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target kevrano kevrano-tor
	@mkdir -p $(DEMO_DIR)
	cd $(DEMO_DIR) && "$(abspath $(BIN))" "$$(realpath --relative-to=. "$(abspath $(EXAMPLE))")"
	@echo "Files written in $(DEMO_DIR)/:" && ls -l $(DEMO_DIR)
	build/$(PRESET)/tortool/kevrano-tor check $(DEMO_DIR)/lens.tor

install: deps
	@cmake --preset $(DIST_PRESET) >/dev/null
	@cmake --build --preset $(DIST_PRESET)
	DESTDIR="$(DESTDIR)" cmake --install build/$(DIST_PRESET) --prefix "$(PREFIX)"

# A Debian package of both programs, their man pages, examples and docs.
package: deps
	@cmake --preset $(DIST_PRESET) >/dev/null
	@cmake --build --preset $(DIST_PRESET)
	cd build/$(DIST_PRESET) && cpack -G DEB -B package
	@ls build/$(DIST_PRESET)/package/*.deb

asan:
	$(MAKE) test PRESET=asan

bench:
	@scripts/deps.sh bench
	$(MAKE) build PRESET=release
	./build/release/bench/kevrano_bench
	./build/release/bench/analyse_bench

# Runs each fuzzer for FUZZ_SECONDS, seeded from its regression corpus and
# the golden runs; a fault found is left in build/fuzz/findings-NAME/ and
# fails the target. Each entry is NAME:EXECUTABLE:CORPUS.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= free_read:fuzz/fuzz_free_read:tests/fuzz_corpus/free_read \
  kevrano:fuzz/fuzz_kevrano:tests/fuzz_corpus/kevrano \
  tor:tortool/fuzz_tor:torfile/testdata/fuzz
fuzz:
	$(MAKE) build PRESET=fuzz
	@for t in $(FUZZ_TARGETS); do \
	  name=$${t%%:*}; rest=$${t#*:}; exe=build/fuzz/$${rest%%:*}; seeds=$${rest#*:}; \
	  corpus=build/fuzz/corpus-$$name; findings=build/fuzz/findings-$$name; \
	  mkdir -p $$corpus $$findings; cp $$seeds/* $$corpus/; \
	  if [ $$name = kevrano ]; then \
	    for g in tests/golden/*/answers.txt; do cp $$g $$corpus/seed-$$(basename $$(dirname $$g)); done; \
	  fi; \
	  if [ $$name = tor ]; then \
	    for g in tests/golden/*/expected/*.tor; do cp $$g $$corpus/seed-$$(basename $$(dirname $$(dirname $$g)))-$$(basename $$g); done; \
	  fi; \
	  dict=; [ $$name = tor ] && dict=-dict=tortool/fuzz_tor.dict; \
	  echo "fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  $$exe $$corpus $$dict -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=30 \
	    -rss_limit_mb=4096 -artifact_prefix=$$findings/ -print_final_stats=1 >build/fuzz/$$name.log 2>&1; \
	  status=$$?; tail -n 6 build/fuzz/$$name.log; \
	  if [ $$status -ne 0 ]; then echo "fuzz_$$name found a fault: see $$findings/"; exit 1; fi; \
	done

clean:
	rm -rf build
