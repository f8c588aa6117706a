# The two everyday commands: `make run` and `make test`. Everything they need
# is installed by scripts/install-deps.sh, so a fresh Debian 12 machine works.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_ARGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR)

run: build
	./$(BUILD_DIR)/startup/quorvi $(ARGS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure $(CTEST_ARGS)

bench: build
	cmake --build $(BUILD_DIR) --target benchmarks
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/store_bench

clean:
	rm -rf $(BUILD_DIR)
