# Thin wrapper over the CMake presets.
PRESET ?= dev
DEMO_DIR ?= demo
EXAMPLE ?= examples/first_lens.txt
BIN = build/$(PRESET)/driver/kevrano

.PHONY: all build test run demo asan bench clean

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

clean:
	rm -rf build
