# velmo-yaml: `make run` and `make test` are the two commands for a fresh machine.
PYTHON ?= python3
JOBS ?= 2
FUZZ_SECONDS ?= 60
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)

RELEASE_DIR := build/release
ASAN_DIR := build/asan
BENCH_DIR := build/bench
FUZZ_DIR := build/fuzz
MODULE_PATH := $(CURDIR)/$(RELEASE_DIR)/python

.PHONY: deps build test test-core test-python run bench fuzz clean

deps:
	@PYTHON=$(PYTHON) scripts/install_deps.sh

# Configure once; later builds are incremental.
$(RELEASE_DIR)/CMakeCache.txt:
	cmake -S . -B $(RELEASE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE=$$(command -v $(PYTHON))

build: deps $(RELEASE_DIR)/CMakeCache.txt
	cmake --build $(RELEASE_DIR) -j $(JOBS)

$(ASAN_DIR)/CMakeCache.txt:
	cmake -S . -B $(ASAN_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_SANITIZE=ON \
	  -DVELMO_BUILD_MODULE=OFF -DVELMO_BUILD_TESTS=ON

test-core: deps $(ASAN_DIR)/CMakeCache.txt
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure

test-python: build
	PYTHONPATH=$(MODULE_PATH) $(PYTHON) -m pytest -q tests/python

test: deps build test-core test-python

run: build
	PYTHONPATH=$(MODULE_PATH) $(PYTHON) examples/main.py

$(BENCH_DIR)/CMakeCache.txt:
	cmake -S . -B $(BENCH_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVELMO_BUILD_BENCH=ON \
	  -DPython_EXECUTABLE=$$(command -v $(PYTHON))

bench: deps build $(BENCH_DIR)/CMakeCache.txt
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@set -e; for b in $(BENCH_DIR)/bench/bench_*; do if [ -x "$$b" ]; then "$$b"; fi; done; \
	for p in bench/python/*.py; do if [ -f "$$p" ]; then PYTHONPATH=$(MODULE_PATH) $(PYTHON) "$$p"; fi; done

$(FUZZ_DIR)/CMakeCache.txt:
	cmake -S . -B $(FUZZ_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_BUILD_FUZZ=ON \
	  -DVELMO_BUILD_MODULE=OFF -DCMAKE_CXX_COMPILER=clang++

fuzz: deps $(FUZZ_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	@set -e; for f in $(FUZZ_DIR)/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; name=$$(basename $$f); mkdir -p fuzz/corpus/$$name; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 fuzz/corpus/$$name; done

clean:
	rm -rf build
