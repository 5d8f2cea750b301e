# Ternwick: make deps | make build | make run | make test | make bench
BUILD ?= build
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# Debian packages the build, the tests and the benchmarks need.
PACKAGES := g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libgl-dev \
            libgtest-dev libgmock-dev libbenchmark-dev clang direwolf xvfb fonts-dejavu-core \
            dump1090-mutability

.PHONY: deps build run replay test sanitize bench soak fuzz clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD)

# Opens the window and replays the shipped demo traffic around Cebu in it with "Read
# Timer" at 10x: five minutes of traffic in half a minute. Without a display the headless
# replay runs instead.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/bin/ternwick --pace 10 $(BUILD)/bin/demo.log; \
	else \
	  echo "No display found: showing the headless replay instead (the window needs a desktop, or xvfb-run)."; \
	  $(MAKE) --no-print-directory replay; \
	fi

# The same traffic without a window: the live list, the counts, and the map with every
# track drawn on it as a PNG.
replay: build
	$(BUILD)/bin/ternwick-replay --list --stats --png $(BUILD)/ternwick-map.png $(BUILD)/bin/demo.log
	@echo "Map picture with the plotted tracks: $(BUILD)/ternwick-map.png"

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

# The whole test suite built with AddressSanitizer (leak checks on) and
# UndefinedBehaviorSanitizer; any finding fails the run.
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
           LSAN_OPTIONS=suppressions=$(CURDIR)/tools/sanitize/lsan.supp:print_suppressions=0 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
sanitize: deps
	cmake -S . -B $(BUILD)-sanitize -G Ninja -DTERNWICK_SANITIZE=ON -DTERNWICK_BENCH=OFF
	cmake --build $(BUILD)-sanitize
	cd $(BUILD)-sanitize && $(SAN_ENV) ctest --output-on-failure -j2

bench: build
	BUILD=$(BUILD) bench/ratios.sh
	$(BUILD)/bench/ternwick-bench
	$(BUILD)/bench/ternwick-live-map-bench
	BUILD=$(BUILD) bench/replay_throughput.sh
	BUILD=$(BUILD) bench/window_throughput.sh
	BUILD=$(BUILD) bench/network_throughput.sh

# Ten million hostile messages: peak memory and speed (SOAK_MESSAGES to change the count).
SOAK_MESSAGES ?= 10000000
soak: build
	BUILD=$(BUILD) bench/soak.sh $(SOAK_MESSAGES)

# Every fuzz target for FUZZ_SECONDS each (default 60), starting from its seeds in
# fuzz/seeds/<target>; what it finds new is kept in $(BUILD)-fuzz/corpus/<target>.
FUZZ_SECONDS ?= 60
FUZZERS := fuzz_replay fuzz_data_files fuzz_squitter fuzz_outputs fuzz_numbers fuzz_catalogue_draw \
           fuzz_avr fuzz_beast fuzz_outlines
fuzz: deps
	CXX=clang++ cmake -S . -B $(BUILD)-fuzz -G Ninja -DTERNWICK_FUZZ=ON -DTERNWICK_TESTS=OFF -DTERNWICK_BENCH=OFF
	cmake --build $(BUILD)-fuzz --target $(FUZZERS)
	@for f in $(FUZZERS); do \
	  mkdir -p $(BUILD)-fuzz/corpus/$$f; \
	  echo "== $$f"; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/sanitize/lsan.supp:print_suppressions=0 \
	  $(BUILD)-fuzz/bin/$$f -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	    -artifact_prefix=$(BUILD)-fuzz/$$f- \
	    $(BUILD)-fuzz/corpus/$$f fuzz/seeds/$$f > $(BUILD)-fuzz/$$f.log 2>&1; rc=$$?; \
	  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units)" $(BUILD)-fuzz/$$f.log; \
	  if [ $$rc -ne 0 ]; then tail -60 $(BUILD)-fuzz/$$f.log; exit 1; fi; \
	done

clean:
	rm -rf $(BUILD)
