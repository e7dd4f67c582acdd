# Quillet: build, run, test and measure. Each target installs what is missing first.
BUILD    ?= build
RELEASE_BUILD ?= build-release
SAN_BUILD ?= build-sanitize
JOBS     ?= 2
RUN_DIR  ?= run

.PHONY: all deps configure build run test check sanitize sanitize-test release soak bench \
        format format-check package package-check

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
	@test -e $(RUN_DIR)/mydata.mdb || $(RUN_DIR)/quillet-db init $(RUN_DIR)/mydata.mdb --welcome
	$(RUN_DIR)/quillet

# One build, every test.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# What CI runs, and what to run before submitting: the format, every test, the tests of the
# text readers, the store, the tool and the fault injection under the sanitizers, a Release
# build of everything, so that every build type keeps building with warnings as errors, and
# the Debian package made from that build and checked.
check: format-check test sanitize-test release package-check

# The text readers, the store, the tool and the fault tests built with AddressSanitizer and UBSan.
sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j$(JOBS) --target quillet_all_tests

sanitize-test: sanitize
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j$(JOBS)

# The long fault runs: many more kill cycles and damaged files than the tests run.
soak: sanitize
	QUILLET_SOAK=1 ctest --test-dir $(SAN_BUILD) --output-on-failure -R '^faults' -j$(JOBS)

# Everything (program, tool, tests, benchmarks) as a Release build, each file compiled on its
# own rather than in the larger units of the other builds, so that a file that compiles only
# after another one's includes is found here.
# It is the installed program's build, which the package is made from.
RELEASE_CONFIG = -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_BENCH=ON -DCMAKE_UNITY_BUILD=OFF \
    -DQUILLET_PER_USER_NOTES=ON
release: deps
	@cmake -S . -B $(RELEASE_BUILD) $(RELEASE_CONFIG) >/dev/null
	cmake --build $(RELEASE_BUILD) -j$(JOBS)

# The Debian package, quillet_<version>_amd64.deb here, made by CPack from the Release build:
# the installed program, which keeps each user's notes in the user's own data folder. Only the
# two programs and the package's files are built for it; make check has built the rest.
package: deps
	@cmake -S . -B $(RELEASE_BUILD) $(RELEASE_CONFIG) >/dev/null
	cmake --build $(RELEASE_BUILD) -j$(JOBS) --target quillet quillet-db quillet_package_files
	@rm -rf $(RELEASE_BUILD)/package quillet_*_amd64.deb
	cd $(RELEASE_BUILD) && cpack -G DEB
	cp $(RELEASE_BUILD)/package/quillet_*_amd64.deb .

# The package against Debian's own checks, then its contents and the program it installs.
package-check: package
	lintian --fail-on error quillet_*_amd64.deb
	bash tests/package/check-package.sh quillet_*_amd64.deb

bench: release
	QT_QPA_PLATFORM=offscreen $(RELEASE_BUILD)/bin/quillet-bench

format: deps
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails on any difference from the house format; CI runs it.
format-check: deps
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')
