#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that every part lands in
# its standard place; validates the installed desktop entries, AppStream
# metainfo and udev rule with the system's own checkers where the machine has
# them.
#   test_install_layout.sh BUILD_DIR WITH_GUI WITH_TOOLS
set -uo pipefail
build=$1 with_gui=$2 with_tools=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

passed=0 failed=0 skipped=0
check() {
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log"; rm -f "$prefix.log"
  echo "FAIL: cmake --install"
  exit 1
fi
rm -f "$prefix.log"

expect=(share/sovikan/help/index.html
        share/sovikan/help/protocol.html
        share/applications/sovikan.desktop
        share/applications/sovikan-protocol.desktop
        share/icons/hicolor/scalable/apps/sovikan.svg
        share/icons/hicolor/48x48/apps/sovikan.png
        share/icons/hicolor/128x128/apps/sovikan.png
        share/metainfo/invalid.sovikan.tr07.metainfo.xml
        share/man/man1/sovikan.1.gz
        share/man/man1/sovikan-protocol.1.gz
        share/man/man1/svktool.1.gz
        share/man/man1/sovikan-meter.1.gz
        share/doc/sovikan/copyright
        share/doc/sovikan/changelog.gz
        share/lintian/overrides/sovikan
        lib/udev/rules.d/60-sovikan-tr07.rules)
for f in "${expect[@]}"; do check "$f installed" test -f "$prefix/$f"; done
executables=()
[ "$with_gui" = 1 ] && executables+=(sovikan sovikan-protocol)
[ "$with_tools" = 1 ] && executables+=(svktool sovikan-meter)
for f in "${executables[@]}"; do check "bin/$f installed" test -x "$prefix/bin/$f"; done
# The program finds its help beside its own folder.
check "help lies in <exe dir>/../share/sovikan/help" test -d "$prefix/bin/../share/sovikan/help"
check "no file outside bin, share and lib/udev" \
  test -z "$(cd "$prefix" && find . -type f ! -path './bin/*' ! -path './share/*' ! -path './lib/udev/*')"

if command -v desktop-file-validate >/dev/null; then
  check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/sovikan.desktop" \
    "$prefix/share/applications/sovikan-protocol.desktop"
else
  skipped=$((skipped + 1)); echo "skipped: desktop-file-validate not installed"
fi
if command -v appstreamcli >/dev/null; then
  check "appstreamcli validate" appstreamcli validate --no-net \
    "$prefix/share/metainfo/invalid.sovikan.tr07.metainfo.xml"
else
  skipped=$((skipped + 1)); echo "skipped: appstreamcli not installed"
fi
# udevadm verify came with systemd 253; older udev has no offline rule check.
if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
  check "udevadm verify" udevadm verify "$prefix/lib/udev/rules.d/60-sovikan-tr07.rules"
else
  skipped=$((skipped + 1)); echo "skipped: no udevadm verify on this machine"
fi

echo "install layout: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
