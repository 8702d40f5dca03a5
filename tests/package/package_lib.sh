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

# The build's downloads are named after it: win32 for users', win64 for the 64-bit test build.
PRODUCTS_WINDOWS_NAME=win${PRODUCTS_WINDOWS_ARCH:-32}
# Debian's python3, which has the PE reader (python3-pefile) whatever python3 comes first on the PATH.
pe_python=/usr/bin/python3

# After a silent install in $WINEPREFIX: $installed, the folder as the uninstall entry names it, and
# $folder, the same on this side. Fails unless it is Program Files\Products; the 64-bit test build's
# installer lands in "Program Files (x86)" under Wine, which is no matter for a build nobody installs.
find_installed_folder() {
  installed=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Products' /v UninstallString \
    2>/dev/null | tr -d '\r' | sed -nE 's/.*REG_SZ +"?(.*)\\Uninstall\.exe"?$/\1/p')
  local rest=${installed#C:\\}
  folder="$WINEPREFIX/drive_c/${rest//\\//}"
  [ "$installed" = 'C:\Program Files\Products' ] ||
    { [ "$PRODUCTS_WINDOWS_NAME" = win64 ] && [ "$installed" = 'C:\Program Files (x86)\Products' ]; }
}
