# Quick start: `make run` builds and starts Vostrel, `make test` runs every test.
# Missing Debian packages are installed first (apt-get, as root or via sudo).

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_WIN  ?= build-win
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
VERSION    := $(shell grep -m1 -o 'Vostrel VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
VSIX       := $(BUILD)/vostrel-nc-$(VERSION).vsix

PACKAGES := cmake ninja-build g++ pkg-config \
            qt6-base-dev libqt6svg6 qt6-qpa-plugins \
            libgtest-dev libgmock-dev libbenchmark-dev \
            fonts-ipafont-gothic fonts-ipafont-mincho fonts-dejavu-core \
            poppler-utils time clang libclang-rt-14-dev \
            xvfb openbox qt6-translations-l10n \
            dpkg-dev file lintian desktop-file-utils appstream \
            g++-mingw-w64-x86-64-posix wine64 nsis xz-utils xdotool imagemagick \
            linuxcnc-uspace nlohmann-json3-dev

.PHONY: run test bench package deps build build-asan build-fuzz windows-cli windows vscode clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then SUDO=""; else SUDO=sudo; fi; \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
	  $$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

$(BUILD_ASAN)/build.ninja:
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOSTREL_SANITIZE=ON

build-asan: deps $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS) --target core_tests

$(BUILD_FUZZ)/build.ninja:
	cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DVOSTREL_FUZZ=ON

build-fuzz: deps $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

# vostrelc for 64-bit Windows, cross-built and statically linked, and
# $(BUILD_WIN)/vostrelc-<version>-win64.zip with the word list and the guide;
# where Qt for MinGW-w64 has been built (make windows), also the desktop
# program, vostrel-<version>-win64.zip and vostrel-<version>-setup.exe.
windows-cli: deps vscode
	@qt=$$(tools/build_qt_mingw.sh --prefix); \
	if [ -f "$$qt/complete" ]; then with_qt="-DVOSTREL_QT_MINGW=$$qt"; \
	else with_qt="-DVOSTREL_QT_MINGW="; \
	  echo "Windows desktop program not built: no Qt for MinGW-w64 in $$qt (make windows builds it once)"; fi; \
	cmake -S . -B $(BUILD_WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake $$with_qt \
	  -DVOSTREL_VSIX=$(abspath $(VSIX)) >/dev/null
	cmake --build $(BUILD_WIN) -j $(JOBS)

# Builds Qt for MinGW-w64 from Debian's source the first time (about 40
# minutes on 2 cores; cached in ~/.cache/vostrel), then everything for Windows.
windows: deps
	tools/build_qt_mingw.sh
	$(MAKE) windows-cli

run: build
	$(BUILD)/bin/vostrel

# Wine's prefix is made once before the Windows cases run side by side.
test: build build-asan build-fuzz windows-cli
	WINEPREFIX=$(abspath $(BUILD))/wine-prefix WINEDEBUG=-all \
	  /usr/lib/wine/wine64 $(BUILD_WIN)/bin/vostrelc.exe --version || echo "Wine cannot run vostrelc.exe here"
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)
	cd $(BUILD_FUZZ) && ctest --output-on-failure -j $(JOBS)

# The VS Code extension, $(VSIX), packed with packages from npm (where
# npm is missing or cannot fetch them, it says so and goes on without).
vscode:
	tools/pack_vscode_extension.sh $(VSIX) || [ $$? -eq 77 ]

# The Debian package, build/vostrel_<version>_<arch>.deb, with the VS Code
# extension where it could be packed.
package: build vscode
	cd $(BUILD) && cpack -G DEB

bench: build
	$(BUILD)/bin/pipeline_bench --benchmark_min_time=1
	bench/run_vostrelc.sh $(BUILD) 1000000
	bench/run_vostrelc.sh $(BUILD) 1000000 --set EndChar=Y --set chg16_10=Y --set Chg_MacroA=Y
	GENERATOR=gen_macro DEFINITIONS=2000 bench/run_vostrelc.sh $(BUILD) 100000 \
	  --set EndChar=Y --set chg16_10=Y --set Chg_MacroA=Y
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/vostrel_devtool bench 1000000
	$(BUILD)/bin/gen_macro 100000 2000 > $(BUILD)/macro-bench.nc
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/vostrel_devtool bench $(BUILD)/macro-bench.nc \
	  EndChar=Y chg16_10=Y Chg_MacroA=Y
	bench/batch_throughput.sh $(BUILD) 200 8000 2
	bench/workloads.sh $(BUILD) 1000000
	$(BUILD)/bin/toolpath_bench --benchmark_min_time=1
	printf '[Options]\r\nEndChar=Y\r\nchg16_10=Y\r\nChg_MacroA=Y\r\n' > $(BUILD)/macro-bench.ini
	$(BUILD)/bin/lsp_latency $(BUILD)/bin/vostrel-lsp $(BUILD)/bin/vostrelc $(BUILD)/macro-bench.nc 20 \
	  -- --ini $(BUILD)/macro-bench.ini

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_WIN)
