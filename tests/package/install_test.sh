#!/bin/bash
# Makes the installer with CPack and tries it as a user would, in a fresh Wine prefix of its own:
# a silent install, the files, the Start-menu shortcut, the App Paths and uninstall keys; the
# installed launcher starting the installed viewer against the installed feed server and, on a link
# choice, the installed browser found by its bare name; then a silent uninstall that leaves none of
# what it added. Needs DISPLAY.
# usage: install_test.sh SOURCE_DIR BUILD_DIR VERSION END_TO_END_TESTS_EXE MANIFEST_DUMP_EXE
set -u
source_dir=$1 build=$2 version=$3 e2e=$4 dump=$5
source "$(dirname "${BASH_SOURCE[0]}")/package_lib.sh"
export WINEPREFIX=$work/prefix
source "$source_dir/scripts/lib/wine.sh"

cpack_into NSIS
setup=$work/out/Products-$version-$PRODUCTS_WINDOWS_NAME-setup.exe
[ -f "$setup" ] || { echo "FAIL: $setup was not made"; exit 1; }
ok "$(basename "$setup"), $(stat -c %s "$setup") bytes"

wine_prepare_prefix || { echo "FAIL: could not make a fresh prefix"; exit 1; }
wine "$setup" /S
wineserver -w
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Products"
app_path='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\Vn_Browser.exe'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Products'
query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
exists() { wine reg query "$1" >/dev/null 2>&1; }
find_installed_folder && ok "installed into $installed" || fail "installed into '$installed', not Program Files"

for file in Vn_Launcher.exe Vn_Products.exe Vn_Browser.exe feed-server.exe Vn_Skin.dll Vn_Category.dll \
  Vn_Countries.dll README.txt catalog/accounts.txt catalog/products/demo.txt Uninstall.exe; do
  [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ -f "$menu/Products Launcher.lnk" ] && ok "Start-menu shortcut to the launcher" || fail "no Start-menu shortcut in $menu"
query "$app_path" /ve | grep -qF "$installed\\Vn_Browser.exe" && ok "App Paths names the browser" ||
  fail "App Paths key: $(query "$app_path")"
exists "$app_path" && exists "$uninstall_key" || fail "the keys are not there to look at"
entry=$(query "$uninstall_key")
grep -qE 'DisplayVersion +REG_SZ +'"$version" <<<"$entry" && grep -qE 'DisplayName +REG_SZ +Products' <<<"$entry" &&
  ok "uninstall entry with version $version" || fail "uninstall entry: $entry"

# The installed programs' manifests, read in the prefix they were installed into.
python3 "$source_dir/tests/package/check_manifests.py" "$PRODUCTS_WINE" "$dump" "$installed" ||
  fail "manifests of the installed programs"

# The installed programs end to end, through the same test the build's programs pass.
if PRODUCTS_INSTALLED_DIR=$installed wine "$e2e" \
  --gtest_filter='EndToEnd.TheLauncherStartsTheViewerAndAServerPageReachesTheBrowser' >"$work/e2e.log" 2>&1; then
  ok "the installed launcher, viewer, browser and feed server work together"
else
  cat "$work/e2e.log"
  fail "the installed programs end to end"
fi
wineserver -k 2>/dev/null
wineserver -w

wine "$folder/Uninstall.exe" /S
wineserver -w
# The uninstaller copies itself away and goes on from there: wait until it is done.
for _ in $(seq 1 100); do [ -d "$folder" ] || break; sleep 0.1; wineserver -w; done
[ -e "$folder" ] && fail "left behind: $(cd "$folder" && find . | head)" || ok "the program folder is gone"
[ -e "$menu" ] && fail "the Start-menu folder is left" || ok "the Start-menu folder is gone"
exists "$app_path" && fail "the App Paths key is left" || ok "the App Paths key is gone"
exists "$uninstall_key" && fail "the uninstall entry is left" || ok "the uninstall entry is gone"
exit $status
