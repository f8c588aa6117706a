# The two everyday commands: `make run` and `make test`. Everything they need
# is installed by scripts/install-deps.sh, so a fresh Debian 12 machine works.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_ARGS ?=
# WERROR=ON (as .ci/run does) turns every compiler warning into an error;
# once given it stays in the build folder's settings until given again.
WERROR ?=
werror = $(if $(WERROR),-DQUORVI_WERROR=$(WERROR))

.PHONY: all deps configure build run test bench test-asan fuzz check clean full-store

all: build

deps:
	@bash scripts/install-deps.sh

# The builds are the presets of CMakePresets.json (`cmake --list-presets`).
$(BUILD_DIR)/build.ninja:
	cmake --preset release -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(werror)

configure: deps $(BUILD_DIR)/build.ninja
ifneq ($(WERROR),)
	cmake -S . -B $(BUILD_DIR) $(werror)
endif

build: configure
	cmake --build $(BUILD_DIR)

# Only the program itself: the tests and benchmarks wait for `make test`.
run: configure
	cmake --build $(BUILD_DIR) --target quorvi
	./$(BUILD_DIR)/startup/quorvi $(ARGS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure $(CTEST_ARGS)

bench: build
	cmake --build $(BUILD_DIR) --target benchmarks
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/store/store_bench
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/mainwindow/mainwindow_bench
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/editors/editors_bench
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/startup/startup_bench
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/background/background_bench
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/ical/ical_bench
	TZ=Europe/Berlin ./$(BUILD_DIR)/bench/sync/sync_bench
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/list/list_bench

# A full store (1001 tasks unless TASKS says how many, 101 rules, the earliest task overdue) in FOLDER,
# as the benchmarks use it: `make full-store FOLDER=~/big`, then quorvi there.
full-store: configure
	@[ -n "$(FOLDER)" ] || { echo "usage: make full-store FOLDER=folder" >&2; exit 2; }
	cmake --build $(BUILD_DIR) --target write_full_store
	mkdir -p "$(FOLDER)"
	./$(BUILD_DIR)/bench/common/write_full_store "$(FOLDER)" $(TASKS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# in a build folder of its own.
ASAN_DIR ?= build-asan
test-asan: deps
	cmake --preset asan -B $(ASAN_DIR) $(werror)
	cmake --build $(ASAN_DIR)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure $(CTEST_ARGS)

# Fuzzes the store reader and the calendar importer, FUZZ_SECONDS each; new
# inputs go to the build folder, the seeds stay in tests/fuzz/corpus and
# tests/ical/samples.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_FLAGS = -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
  -artifact_prefix=$(FUZZ_DIR)/artifacts/
fuzz: deps
	bash scripts/install-deps.sh fuzz
	cmake --preset fuzz -B $(FUZZ_DIR) $(werror)
	cmake --build $(FUZZ_DIR) --target fuzz_store fuzz_ical
	mkdir -p $(FUZZ_DIR)/corpus $(FUZZ_DIR)/ical-corpus $(FUZZ_DIR)/artifacts
	ASAN_OPTIONS=detect_leaks=0 $(FUZZ_DIR)/tests/fuzz/fuzz_store $(FUZZ_FLAGS) $(FUZZ_DIR)/corpus tests/fuzz/corpus
	ASAN_OPTIONS=detect_leaks=0 TZ=Europe/Berlin $(FUZZ_DIR)/tests/fuzz/fuzz_ical $(FUZZ_FLAGS) \
	  $(FUZZ_DIR)/ical-corpus tests/ical/samples

# clang-tidy (.clang-tidy) and clazy over the program's sources, without the
# tests and benchmarks; any finding fails. Nothing is built: the "check"
# preset only writes the compile commands the two tools read.
CHECK_DIR ?= build-check
check: deps
	bash scripts/install-deps.sh check
	cmake --preset check -B $(CHECK_DIR) >/dev/null
	bash scripts/check.sh $(CHECK_DIR)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR) $(CHECK_DIR)

# Only what is installed: the program and the files beside it. Neither
# `cmake --install` nor CPack (with Ninja) builds anything itself.
.PHONY: installable
installable: configure
	cmake --build $(BUILD_DIR) --target installable

# Installs the program, its launcher, icon and manual page under PREFIX
# (DESTDIR is honoured too, for staging): `make install PREFIX=$HOME/.local`.
PREFIX ?= /usr/local
.PHONY: install package
install: installable
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)" --strip

# The Debian package, quorvi_<version>_<arch>.deb, in the build folder.
package: installable
	cd $(BUILD_DIR) && cpack -G DEB
	@ls -l $(BUILD_DIR)/quorvi_*.deb
