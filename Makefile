# Thin wrapper over the CMake presets.
PRESET ?= dev
DEMO_DIR ?= demo
EXAMPLE ?= examples/first_lens.txt
BIN = build/$(PRESET)/driver/kevrano

.PHONY: all build test run demo asan bench fuzz clean

all: build

build:
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET)

# Interactive run at the keyboard.
run: build
	./$(BIN)

# Runs the bundled example answer script; the report (and tor file) land in $(DEMO_DIR)/.
demo: build
	@mkdir -p $(DEMO_DIR)
	cd $(DEMO_DIR) && printf '1\n%s\n' "$(abspath $(EXAMPLE))" | "$(abspath $(BIN))"
	@echo "Files written in $(DEMO_DIR)/:" && ls -l $(DEMO_DIR)

asan:
	$(MAKE) test PRESET=asan

bench:
	$(MAKE) build PRESET=release
	./build/release/bench/kevrano_bench

# Runs each fuzzer for FUZZ_SECONDS, seeded from the regression corpus and
# the golden answer scripts; new findings are left in build/fuzz/findings-*.
FUZZ_SECONDS ?= 60
FUZZERS ?= free_read kevrano
fuzz:
	$(MAKE) build PRESET=fuzz
	@for f in $(FUZZERS); do \
	  corpus=build/fuzz/corpus-$$f; findings=build/fuzz/findings-$$f; mkdir -p $$corpus $$findings; \
	  cp tests/fuzz_corpus/$$f/* $$corpus/; \
	  if [ $$f = kevrano ]; then \
	    for g in tests/golden/*/answers.txt; do cp $$g $$corpus/seed-$$(basename $$(dirname $$g)); done; \
	  fi; \
	  echo "fuzzing $$f for $(FUZZ_SECONDS) s"; \
	  ./build/fuzz/fuzz/fuzz_$$f $$corpus -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=30 \
	    -rss_limit_mb=4096 -artifact_prefix=$$findings/ -print_final_stats=1 >build/fuzz/$$f.log 2>&1; \
	  status=$$?; tail -n 15 build/fuzz/$$f.log; \
	  if [ $$status -ne 0 ]; then echo "fuzz_$$f found a fault: see $$findings/"; exit 1; fi; \
	done

clean:
	rm -rf build
