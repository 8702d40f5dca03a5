#!/bin/bash
# Checks that the built folder is code a plain Windows PC can run: PE32 i386 (or, for the 64-bit test
# build, PE32+ x86-64), the viewer a GUI program that may use more than 2 GB on 32-bit Windows, and
# nothing in bin/ importing a MinGW runtime DLL.
# usage: check_pe.sh BIN_DIR [32|64]
set -u
bin=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
if [ "${2:-32}" = 64 ]; then
  kind_wanted="PE32+ executable (GUI) x86-64" format=pei-x86-64
else
  kind_wanted="PE32 executable (GUI) Intel 80386" format=pei-i386
fi
status=0
fail() { echo "FAIL: $*"; status=1; }

exe=$bin/Vn_Products.exe
[ -f "$exe" ] || { echo "FAIL: $exe missing"; exit 1; }
kind=$(file -b "$exe")
case "$kind" in
  *"$kind_wanted"*) echo "ok: Vn_Products.exe is $kind" ;;
  *) fail "Vn_Products.exe is '$kind'" ;;
esac
"$objdump" -p "$exe" | grep -q $'^Subsystem\t\t00000002\t(Windows GUI)' || fail "Vn_Products.exe: subsystem is not Windows GUI"
# 64-bit programs have the whole address space anyway.
[ "${2:-32}" = 64 ] || "$objdump" -p "$exe" | grep -q "large address aware" || fail "Vn_Products.exe is not large-address-aware"

for module in "$bin"/*.exe "$bin"/*.dll; do
  [ -f "$module" ] || continue
  header=$("$objdump" -p "$module")
  grep -q "file format $format\$" <<<"$header" || fail "$(basename "$module") is not $format"
  runtime=$(grep -iE 'DLL Name: .*(libgcc|libstdc|libwinpthread|mingw)' <<<"$header")
  [ -z "$runtime" ] || fail "$(basename "$module") imports a MinGW runtime DLL: $runtime"
  echo "ok: $(basename "$module") imports $(grep 'DLL Name' <<<"$header" | awk '{print $3}' | tr '\n' ' ')"
done
exit $status
