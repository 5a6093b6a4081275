# `make run` and `make test` do all set-up on a fresh Debian 12 machine.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test bench package clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	$(BUILD)/kivra $(BUILD)/sample/walker.avi

# One test more than cores: many tests wait on a child program or a deadline, not the processor.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j3

bench: build
	$(BUILD)/bench/kivra-bench-decode --media $(BUILD)/bench/media
	$(BUILD)/bench/kivra-bench-direct --media $(BUILD)/bench/media
	$(BUILD)/bench/kivra-bench-play --media $(BUILD)/bench/media
	$(BUILD)/bench/kivra-bench-open --media $(BUILD)/bench/media
	$(BUILD)/bench/kivra-bench-export --media $(BUILD)/bench/media
	$(BUILD)/bench/kivra-bench-track
	$(BUILD)/bench/kivra-bench-gait

package: build
	@cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD)
