# The two commands of the README: `make run` and `make test`.
BUILD ?= build
FAMILY ?= -all
GENERATOR := -G Ninja
NINJA := ninja -j2

.PHONY: all deps configure build run test bench sanitize clean

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

clean:
	rm -rf $(BUILD)
