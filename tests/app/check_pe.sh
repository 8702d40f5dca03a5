#!/bin/bash
# Checks that the built folder is PE32 i386 code a plain Windows PC can run: the viewer is a GUI
# program that may use more than 2 GB, and nothing in bin/ imports a MinGW runtime DLL.
set -u
bin=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
status=0
fail() { echo "FAIL: $*"; status=1; }

exe=$bin/Vn_Products.exe
[ -f "$exe" ] || { echo "FAIL: $exe missing"; exit 1; }
kind=$(file -b "$exe")
case "$kind" in
  *"PE32 executable (GUI) Intel 80386"*) echo "ok: Vn_Products.exe is $kind" ;;
  *) fail "Vn_Products.exe is '$kind'" ;;
esac
"$objdump" -p "$exe" | grep -q $'^Subsystem\t\t00000002\t(Windows GUI)' || fail "Vn_Products.exe: subsystem is not Windows GUI"
"$objdump" -p "$exe" | grep -q 'large address aware' || fail "Vn_Products.exe is not large-address-aware"

for module in "$bin"/*.exe "$bin"/*.dll; do
  [ -f "$module" ] || continue
  header=$("$objdump" -p "$module")
  grep -q 'file format pei-i386' <<<"$header" || fail "$(basename "$module") is not PE32 i386"
  runtime=$(grep -iE 'DLL Name: .*(libgcc|libstdc|libwinpthread|mingw)' <<<"$header")
  [ -z "$runtime" ] || fail "$(basename "$module") imports a MinGW runtime DLL: $runtime"
  echo "ok: $(basename "$module") imports $(grep 'DLL Name' <<<"$header" | awk '{print $3}' | tr '\n' ' ')"
done
exit $status
