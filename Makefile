# The two commands of the README: `make run` and `make test`.
BUILD ?= build
FAMILY ?= -all
GENERATOR := -G Ninja
NINJA := ninja -j2

.PHONY: all deps configure build run test bench install deb sanitize tsan fuzz format format-check clean

all: build

deps:
	@sh tools/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/build.ninja

build: deps configure
	$(NINJA) -C $(BUILD)

run: build
	$(BUILD)/stage/Marbeck $(FAMILY)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

bench: build
	@$(NINJA) -C $(BUILD) orm_bench >/dev/null
	@$(BUILD)/bench/orm_bench

# What an installation holds: the programs, their jobs' holder, the probe
# helper, the command-line converter, their staged data, the icon, the changelog.
INSTALL_TARGETS := Marbeck Cordane ormolux-jobholder ormolux-probe ormolux-convert stage_data skin_art \
	desktop_icons package_changelog manual_pages

# Installs under PREFIX (/usr/local unless given); DESTDIR is honoured.
PREFIX ?= /usr/local
install: deps configure
	$(NINJA) -C $(BUILD) $(INSTALL_TARGETS)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A Debian package from the same install rules (prefix /usr), copied here as
# ormolux_<version>_<arch>.deb: `apt install ./ormolux_*.deb` installs it.
deb: deps configure
	$(NINJA) -C $(BUILD) $(INSTALL_TARGETS)
	rm -rf $(BUILD)/deb
	cd $(BUILD) && cpack -G DEB -B "$(CURDIR)/$(BUILD)/deb"
	cp $(BUILD)/deb/ormolux_*.deb .

# The whole test suite under the address and undefined-behaviour sanitizers.
sanitize: deps
	cmake -S . -B $(BUILD)-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DORM_SANITIZE=ON
	$(NINJA) -C $(BUILD)-asan
	cd $(BUILD)-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
		UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2

# The threaded parts (redirector, console parser, conversion jobs) under the
# thread sanitizer, TSAN_REPEAT times over: a race that shows once in fifty runs
# under load must not pass unseen.
TSAN_TESTS := redirect_tests engine_logic_tests conversion_tests joblifetime_tests sources_tests
TSAN_REPEAT ?= 100
tsan: deps
	cmake -S . -B $(BUILD)-tsan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DORM_TSAN=ON
	$(NINJA) -C $(BUILD)-tsan $(TSAN_TESTS) stage_data orm_testencoder
	cd $(BUILD)-tsan && for t in $(TSAN_TESTS); do \
		TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" \
		QT_QPA_PLATFORM=offscreen tests/$$t --gtest_repeat=$(TSAN_REPEAT) \
		--gtest_brief=1 || exit 1; done

# libFuzzer targets, each run for FUZZ_SECONDS on a copy of its seed corpus.
FUZZ_SECONDS ?= 120
FUZZERS := ini_fuzz consoleparser_fuzz skinfile_fuzz skinpicture_fuzz
fuzz: deps
	@command -v clang++ >/dev/null || { echo "fuzz: clang++ not found, fuzzers skipped"; exit 0; }; \
	CXX=clang++ cmake -S . -B $(BUILD)-fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DORM_FUZZ=ON -DBUILD_TESTING=OFF && \
	$(NINJA) -C $(BUILD)-fuzz $(FUZZERS) && \
	for f in $(FUZZERS); do corpus=$(BUILD)-fuzz/corpus/$${f%_fuzz}; mkdir -p $$corpus; \
		cp tests/fuzz/corpus/$${f%_fuzz}/* $$corpus/; \
		$(BUILD)-fuzz/tests/fuzz/$$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
		$$corpus || exit 1; done

# Formatting is the tool's job: every C++ file of the project follows .clang-format.
FORMAT_FILES = $$(git ls-files '*.cpp' '*.h')
format: deps
	clang-format -i $(FORMAT_FILES)

format-check: deps
	clang-format --dry-run -Werror $(FORMAT_FILES)

clean:
	rm -rf $(BUILD)
