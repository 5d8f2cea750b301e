# Ternwick: make deps | make build | make run | make test | make bench
BUILD ?= build
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# Debian packages the build, the tests and the benchmarks need.
PACKAGES := g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libgl-dev \
            libgtest-dev libgmock-dev libbenchmark-dev clang direwolf xvfb fonts-dejavu-core

.PHONY: deps build run test bench clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD)

run: build
	$(BUILD)/bin/ternwick-replay --stats --csv $(BUILD)/bin/demo.log

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

bench: build
	$(BUILD)/bench/ternwick-bench
	BUILD=$(BUILD) bench/replay_throughput.sh

clean:
	rm -rf $(BUILD)
