# Thin front for the CMake build: the targets a user needs.
BUILD := build
SANITIZE_BUILD := build-sanitize
TSAN_BUILD := build-tsan
JOBS := $(shell nproc 2>/dev/null || echo 2)
# The release engine's output file for testing frameworks: make EXE=name
EXE ?= quillon

.PHONY: engine run test bench clean

engine:
	@tools/ensure-deps.sh run
	@cmake -S . -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) --target quillon -j$(JOBS) >/dev/null
	@cp $(BUILD)/quillon $(EXE)

run:
	@tools/ensure-deps.sh run
	@cmake -S . -B $(BUILD) >/dev/null
	@cmake --build $(BUILD) --target quillon -j$(JOBS) >/dev/null
	@exec $(BUILD)/quillon

test:
	@tools/ensure-deps.sh test
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j$(JOBS)
	cmake -S . -B $(SANITIZE_BUILD) -DQUILLON_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cmake -S . -B $(TSAN_BUILD) -DQUILLON_TSAN=ON
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j$(JOBS)
	cd $(TSAN_BUILD) && ctest --output-on-failure -j$(JOBS)

bench:
	@tools/ensure-deps.sh bench
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) --target quillon eval-bench -j$(JOBS)
	bench/startup.py $(BUILD)/quillon
	bench/perft-vs-stockfish.sh $(BUILD)/quillon
	$(BUILD)/eval-bench
	$(BUILD)/quillon bench | tail -n 2
	bench/search-speed.sh $(BUILD)/quillon

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD)
