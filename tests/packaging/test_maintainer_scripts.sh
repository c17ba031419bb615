#!/usr/bin/env bash
# The package's postinst and postrm: they reload udev's rules when udevadm is
# there, stay quiet and succeed when it is missing or fails (a container or a
# chroot without udevd), and do nothing on an upgrade's removal step.
#   test_maintainer_scripts.sh DEBIAN_DIR
set -uo pipefail
dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0 failed=0
check() {
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

# A stand-in udevadm that logs its calls and exits with $UDEVADM_RC.
mkdir -p "$scratch/bin" "$scratch/empty"
cat >"$scratch/bin/udevadm" <<'STUB'
#!/bin/sh
echo "$*" >>"$UDEVADM_LOG"
exit "${UDEVADM_RC:-0}"
STUB
chmod +x "$scratch/bin/udevadm"

run() { # run SCRIPT ARG RC -> exit status; the calls are in $scratch/log
  rm -f "$scratch/log"
  PATH="$scratch/bin:/usr/bin:/bin" UDEVADM_LOG="$scratch/log" UDEVADM_RC=$3 sh "$dir/$1" "$2" \
    >"$scratch/out" 2>&1
}
calls() { cat "$scratch/log" 2>/dev/null; }

for script in postinst postrm; do
  check "$script is executable" test -x "$dir/$script"
done

run postinst configure 0
check "postinst configure succeeds" test $? -eq 0
check "postinst reloads the rules" grep -qx 'control --reload-rules' <(calls)
check "postinst applies them to tty devices" grep -q '^trigger .*--subsystem-match=tty' <(calls)

run postinst configure 1
check "postinst succeeds when udevadm fails" test $? -eq 0
check "postinst prints nothing when udevadm fails" test ! -s "$scratch/out"

for arg in remove purge; do
  run postrm "$arg" 1
  check "postrm $arg succeeds when udevadm fails" test $? -eq 0
  check "postrm $arg reloads the rules" grep -qx 'control --reload-rules' <(calls)
done
run postrm upgrade 0
check "postrm upgrade leaves udev alone" test -z "$(calls)"

# No udevadm at all.
for step in "postinst configure" "postrm purge"; do
  PATH="$scratch/empty" /bin/sh "$dir/${step% *}" "${step#* }" >"$scratch/out" 2>&1
  check "$step succeeds without udevadm" test $? -eq 0
done

echo "maintainer scripts: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
