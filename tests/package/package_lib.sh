# What the package tests share; source it with build set to the build folder. A scratch folder that goes
# at exit (with the wineserver of a Wine prefix made in it), FAIL and ok lines, the first FAIL setting
# the exit status, and CPack run into the scratch folder.
work=$(mktemp -d)
status=0
end_package_test() {
  case "${WINEPREFIX:-}" in "$work"/*) wineserver -k 2>/dev/null ;; esac
  rm -rf "$work"
}
trap end_package_test EXIT
fail() { echo "FAIL: $*"; status=1; }
ok() { echo "ok: $*"; }

# cpack_into GENERATORS: this build's packages in $work/out, or CPack's log and the end of the test.
cpack_into() {
  (cd "$work" && cpack --config "$build/CPackConfig.cmake" -G "$1" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; echo "FAIL: cpack -G $1"; exit 1; }
}
