# Quillet: build, run, test and measure. Each target installs what is missing first.
BUILD    ?= build
BENCH_BUILD ?= build-bench
JOBS     ?= 2
RUN_DIR  ?= run

.PHONY: all deps configure build run test bench format

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The program runs from run/, beside its notes database, so that a fresh build directory
# never takes the notes with it.
run: build
	@mkdir -p $(RUN_DIR)
	@install -m 755 $(BUILD)/bin/quillet $(BUILD)/bin/quillet-db $(RUN_DIR)/
	@test -e $(RUN_DIR)/mydata.mdb || $(RUN_DIR)/quillet-db init $(RUN_DIR)/mydata.mdb
	$(RUN_DIR)/quillet

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_BENCH=ON \
		-DQUILLET_BUILD_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bin/quillet-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
