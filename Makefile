# Quillet: build, run, test and measure. Each target installs what is missing first.
BUILD    ?= build
BENCH_BUILD ?= build-bench
SAN_BUILD ?= build-sanitize
JOBS     ?= 2
RUN_DIR  ?= run

.PHONY: all deps configure build run test sanitize soak bench format

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

test: build sanitize
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j$(JOBS)

# The store, the tool and the fault tests built with AddressSanitizer and UBSan.
sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j$(JOBS) --target quillet_all_tests

# The long fault runs: many more kill cycles and damaged files than the tests run.
soak: sanitize
	QUILLET_SOAK=1 ctest --test-dir $(SAN_BUILD) --output-on-failure -R '^faults' -j$(JOBS)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_BENCH=ON \
		-DQUILLET_BUILD_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bin/quillet-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
