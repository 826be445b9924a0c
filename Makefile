# The README's commands. Each installs what is missing, then builds.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local

.PHONY: deps test check test-asan test-tsan fuzz bench build run screenshot install package clean \
  format format-check

deps:
	@scripts/install-deps.sh

# Every test: the AddressSanitizer/UBSan build, the ThreadSanitizer build of the threaded
# tests, and the deframer/decoder fuzzer for $(FUZZ_SECONDS) seconds.
test: deps
	@$(MAKE) --no-print-directory format-check
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory test-tsan
	@$(MAKE) --no-print-directory fuzz

# The inner loop: the Release build (warnings are errors) and the quick tests (CTest label
# "unit": logic, decoders, windows fed by hand; no simulated receiver, no programs started).
check: deps
	cmake -S . -B build/check -DCMAKE_BUILD_TYPE=Release -DORNIVEX_WERROR=ON
	cmake --build build/check -j $(JOBS)
	cd build/check && QT_QPA_PLATFORM=offscreen ctest -L unit --output-on-failure -j $(JOBS)

test-asan:
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DORNIVEX_WERROR=ON \
	  -DORNIVEX_SANITIZE=address,undefined
	cmake --build build/asan -j $(JOBS)
	cd build/asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-tsan:
	cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DORNIVEX_WERROR=ON -DORNIVEX_SANITIZE=thread \
	  -DORNIVEX_GUI=OFF
	cmake --build build/tsan -j $(JOBS) --target core_tests
	cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

fuzz:
	CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORNIVEX_FUZZ=ON -DORNIVEX_WERROR=ON \
	  -DORNIVEX_TESTS=OFF -DORNIVEX_GUI=OFF
	cmake --build build/fuzz -j $(JOBS) --target fuzz_deframe_decode
	mkdir -p build/fuzz/corpus
	build/fuzz/fuzz/fuzz_deframe_decode -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  -artifact_prefix=build/fuzz/ \
	  build/fuzz/corpus tests/corpus

bench: deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORNIVEX_BENCH=ON -DORNIVEX_TESTS=OFF
	cmake --build build/release -j $(JOBS)
	build/release/bench/bench_core_ratio
	build/release/bench/bench_deframe_decode
	build/release/bench/bench_link_replay
	build/release/bench/bench_line_store
	build/release/bench/bench_error_window_qt 1500000
	bench/stats_throughput.sh build/release/src/vexor
	QT_QPA_PLATFORM=offscreen build/release/bench/bench_console_replay_qt
	QT_QPA_PLATFORM=offscreen build/release/bench/bench_batch_qt
	build/release/bench/bench_log_formats
	build/release/bench/bench_bbram_line
	bench/log_throughput.sh build/release/src/vexor
	QT_QPA_PLATFORM=offscreen build/release/bench/bench_logging_replay_qt
	QT_QPA_PLATFORM=offscreen build/release/bench/bench_viewers_replay_qt

build: deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORNIVEX_TESTS=OFF
	cmake --build build/release -j $(JOBS)

# Installs the release build under $(PREFIX) (DESTDIR is honoured): the programs, their manual
# pages, bash completion for vexor, the console's desktop entry and icon. Configures the release
# build first when there is none, and brings it up to date without configuring it again (so
# 'sudo make install' after 'make build' leaves no root-owned files in the build).
install:
	@[ -f build/release/CMakeCache.txt ] || $(MAKE) --no-print-directory build
	cmake --build build/release -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build/release --prefix "$(PREFIX)"

# The Debian package build/release/ornivex_<version>_<arch>.deb, from the release build
# (no sanitizers). 'apt install ./build/release/ornivex_*.deb' installs it.
package: build
	cd build/release && cpack -G DEB

# The console on its simulated receiver (ornivex --demo).
run: build
	build/release/src/ornivex --demo

# Pictures of the console, the sky plot and the channel status window with live data from the
# simulated receiver, under Xvfb.
screenshot: build
	mkdir -p docs
	xvfb-run -a -s "-screen 0 1280x1024x24" \
	  build/release/src/ornivex --demo --screenshot docs/screenshot.png --after 15 \
	  --screenshot-window skyPlotForm=docs/sky_plot.png \
	  --screenshot-window pkt33Form=docs/channel_status.png

format:
	find src tests bench fuzz packaging -name '*.cpp' -o -name '*.h' | xargs clang-format -i

# Fails when a source file is not formatted as .clang-format says.
format-check:
	@bad=$$(find src tests bench fuzz packaging \( -name '*.cpp' -o -name '*.h' \) -print0 | \
	  xargs -0 -n1 sh -c 'clang-format "$$0" | cmp -s - "$$0" || echo "$$0"'); \
	if [ -n "$$bad" ]; then echo "not formatted (run 'make format'):"; echo "$$bad"; exit 1; fi

clean:
	rm -rf build
