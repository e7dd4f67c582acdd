# Quillet: build, run, test and measure. Each target installs what is missing first.
BUILD    ?= build
RELEASE_BUILD ?= build-release
SAN_BUILD ?= build-sanitize
JOBS     ?= 2
RUN_DIR  ?= run

.PHONY: all deps configure build run test sanitize release soak bench format format-check

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

test: build sanitize release
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j$(JOBS)

# The store, the tool and the fault tests built with AddressSanitizer and UBSan.
sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j$(JOBS) --target quillet_all_tests

# The long fault runs: many more kill cycles and damaged files than the tests run.
soak: sanitize
	QUILLET_SOAK=1 ctest --test-dir $(SAN_BUILD) --output-on-failure -R '^faults' -j$(JOBS)

# Everything (program, tool, tests, benchmarks) as a Release build, so that a build type the
# tests do not run in still builds.
release: deps
	@cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_BENCH=ON >/dev/null
	cmake --build $(RELEASE_BUILD) -j$(JOBS)

bench: release
	QT_QPA_PLATFORM=offscreen $(RELEASE_BUILD)/bin/quillet-bench

format: deps
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails on any difference from the house format; CI runs it.
format-check: deps
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')
