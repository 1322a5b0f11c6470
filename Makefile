# The two commands of the README are `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
SCALE ?= 1
PORT ?= 8080
CMAKE_FLAGS ?=
# make fuzz: the whole run in seconds, shared by the targets (FUZZ_TARGETS: all by default).
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?=

.PHONY: all deps build test run sample bench fuzz clean

all: build

deps:
	@scripts/deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@scripts/test.sh $(BUILD_DIR)

run: build sample
	$(BUILD_DIR)/bin/orvex-server --port $(PORT) $(ARGS)

sample: build
	@scripts/sample.sh $(BUILD_DIR) $(SCALE)

bench: build
	@scripts/bench.sh $(BUILD_DIR)

fuzz: deps
	@scripts/fuzz.sh $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD_DIR) build-fuzz
