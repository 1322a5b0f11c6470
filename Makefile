# The two commands of the README are `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
SCALE ?= 1
PORT ?= 8080
CMAKE_FLAGS ?=

.PHONY: all deps build test run sample bench clean

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

clean:
	rm -rf $(BUILD_DIR)
