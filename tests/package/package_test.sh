#!/bin/bash
# Makes the portable zip with CPack and checks it without running anything in it, so that the 32-bit
# zip is checked on any machine: exactly the expected files, every program and library with a version
# resource of the project's version and its manifest, and none importing a MinGW runtime DLL.
# usage: package_test.sh BUILD_DIR VERSION
set -u
build=$1 version=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
source "$(dirname "${BASH_SOURCE[0]}")/package_lib.sh"

cpack_into ZIP
zip=$work/out/Products-$version-$PRODUCTS_WINDOWS_NAME.zip
[ -f "$zip" ] || { ls -R "$work/out"; echo "FAIL: $zip was not made"; exit 1; }
echo "ok: $(basename "$zip"), $(stat -c %s "$zip") bytes"

top=Products-$version-$PRODUCTS_WINDOWS_NAME
expected=$(printf '%s\n' README.txt Vn_Browser.exe Vn_Category.dll Vn_Countries.dll Vn_Launcher.exe \
  Vn_Products.exe Vn_Skin.dll feed-server.exe catalog/accounts.txt catalog/products/demo.txt \
  catalog/products/kestrel-cycles.txt | sed "s|^|$top/|" | sort)
actual=$(python3 -c 'import sys, zipfile; print("\n".join(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/")))' "$zip" | sort)
if [ "$expected" = "$actual" ]; then
  echo "ok: the zip holds exactly the expected $(wc -l <<<"$actual") files"
else
  fail "the zip's files differ from the expected ones:"
  diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /'
fi

python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/unpacked"
pes=()
for pe in "$work/unpacked/$top"/*.exe "$work/unpacked/$top"/*.dll; do
  [ -f "$pe" ] || continue
  pes+=("$pe")
  runtime=$("$objdump" -p "$pe" | grep -iE 'DLL Name: .*(libgcc|libstdc|libwinpthread|mingw)')
  # Only scripts/package --sign signs; a plain build carries no signature.
  osslsigncode verify -in "$pe" 2>&1 | grep -q 'No signature found' || fail "$(basename "$pe") is signed without --sign"
  [ -z "$runtime" ] || fail "$(basename "$pe") imports a MinGW runtime DLL: $runtime"
done
[ ${#pes[@]} -eq 7 ] || fail "expected 7 programs and libraries, found ${#pes[@]}"
"$pe_python" "$(dirname "$0")/pe_resources.py" versions "$version" "${pes[@]}" || fail "version resources"
"$pe_python" "$(dirname "$0")/check_manifests.py" --pe "$work/unpacked/$top" || fail "manifests"
grep -q $'\r$' "$work/unpacked/$top/README.txt" || fail "README.txt is not in CRLF line ends"
grep -q "Products $version for Windows" "$work/unpacked/$top/README.txt" || fail "README.txt does not name the version"
[ $status -eq 0 ] && echo "ok: package contents"
exit $status
