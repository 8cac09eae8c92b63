# The README's commands. Every target installs the Debian packages it needs when they are missing.
PRESET ?= default
BUILD_DIR = build/$(PRESET)
PACKAGES = cmake ninja-build g++ ccache pkg-config qt6-base-dev qt6-charts-dev libsdl2-dev \
  libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev nlohmann-json3-dev \
  xvfb xauth trayer ppp libsecret-1-dev qt6-translations-l10n \
  libsdbus-c++-dev dbus-daemon python3-dbusmock poppler-utils samba smbclient tzdata modemmanager
FUZZ_PACKAGES = clang libclang-rt-14-dev
DEB_PACKAGES = dpkg-dev fakeroot lintian desktop-file-utils appstream

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build run test bench fuzz nogui asan screenshots deb clean

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake --preset $(PRESET) $(CMAKE_ARGS)

build: configure
	cmake --build --preset $(PRESET)

# Starts the program; without a display it runs under a virtual X server with a tray host.
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  ./$(BUILD_DIR)/src/quorvanta $(ARGS); \
	else \
	  xvfb-run -a sh -c 'trayer >/dev/null 2>&1 & ./$(BUILD_DIR)/src/quorvanta $(ARGS)'; \
	fi

test: build
	QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --preset $(PRESET)

bench: deps
	cmake --preset default -DCMAKE_BUILD_TYPE=Release
	cmake --build --preset default --target qv_bench qv_bench_ui
	./build/default/bench/qv_bench
	SDL_AUDIODRIVER=dummy ./build/default/bench/qv_bench_ui

# The screenshots the README shows, copied into docs/ by make screenshots so that they stay in step.
DOC_SHOTS = main-window settings-tariffe settings-sms tariff-properties statistics-chart-months \
  statistics-chart-days report-details sms-window popup-window skin-editor about help \
  plan-strip-tray settings-piani-dati

# PNGs of the main window, the popup menu, a balloon and the tariff chooser during a simulated
# connection, taken under a virtual X server with a tray host.
screenshots: build
	mkdir -p build/screenshots
	SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1024x768x24" sh -c 'trayer >/dev/null 2>&1 & sleep 1; ./$(BUILD_DIR)/src/qv_screenshots build/screenshots'
	for r in report-chart report-details; do pdftoppm -png -r 70 -f 1 -l 1 -singlefile build/screenshots/$$r.pdf build/screenshots/$$r; done
	cp $(addprefix build/screenshots/,$(addsuffix .png,$(DOC_SHOTS))) docs/

# The Debian package of the default build, checked by lintian and the desktop and AppStream validators.
deb: build
	@missing=""; for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
	rm -f $(BUILD_DIR)/quorvanta_*.deb
	cd $(BUILD_DIR) && cpack -G DEB
	desktop-file-validate data/packaging/org.quorvanta.Quorvanta.desktop
	appstreamcli validate --no-net data/packaging/org.quorvanta.Quorvanta.metainfo.xml
	lintian --fail-on error $(BUILD_DIR)/quorvanta_*.deb

nogui:
	$(MAKE) test PRESET=nogui

asan:
	$(MAKE) test PRESET=asan

fuzz: deps
	@for p in $(FUZZ_PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || \
	  { $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $(FUZZ_PACKAGES); break; }; done
	cmake --preset fuzz
	cmake --build --preset fuzz
	mkdir -p fuzz/corpus-run && cp -n tests/data/*.dat fuzz/corpus-run/ 2>/dev/null || true
	./build/fuzz/fuzz/qv_fuzz_stream -max_total_time=$${FUZZ_SECONDS:-60} fuzz/corpus-run
	mkdir -p fuzz/corpus-salvage && cp -n tests/data/*.dat fuzz/corpus-salvage/ 2>/dev/null || true
	./build/fuzz/fuzz/qv_fuzz_salvage -max_total_time=$${FUZZ_SECONDS:-60} fuzz/corpus-salvage
	./build/fuzz/fuzz/qv_fuzz_log_import -max_total_time=$${FUZZ_SECONDS:-60}
	./build/fuzz/fuzz/qv_fuzz_tariff_json -max_total_time=$${FUZZ_SECONDS:-60}
	mkdir -p fuzz/corpus-skins && cp -n tests/data/Skin.dat fuzz/corpus-skins/ 2>/dev/null || true
	./build/fuzz/fuzz/qv_fuzz_skins -max_total_time=$${FUZZ_SECONDS:-60} fuzz/corpus-skins
	for f in sms_gateway_ini sms_webgate sms_settings_cfg sms_contacts; do \
	  ./build/fuzz/fuzz/qv_fuzz_$$f -max_total_time=$${FUZZ_SECONDS:-60} || exit 1; done

clean:
	rm -rf build
