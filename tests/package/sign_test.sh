#!/bin/bash
# Signs both downloads with a throwaway certificate made here, as scripts/package --sign does, and
# checks them as a user's system would: every program and library in the zip and the installer carry
# a signature that osslsigncode verifies against the certificate. With "install", the signed installer
# then still installs, and what it puts on the disk, the uninstaller included, is signed (needs DISPLAY
# and Wine that runs this build's programs); without, nothing is run, so it checks any build anywhere.
# usage: sign_test.sh SOURCE_DIR BUILD_DIR VERSION [install]
set -u
source_dir=$1 build=$2 version=$3 mode=${4:-}
source "$(dirname "${BASH_SOURCE[0]}")/package_lib.sh"
export WINEPREFIX=$work/prefix
source "$source_dir/scripts/lib/wine.sh"

# A certificate for code signing that lives as long as this test, in a password-protected PKCS#12
# file; the password has a blank and a quote, which must not matter on the way to the signer.
password="throw away's"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Products test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 &&
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/test.pfx" \
    -passout "pass:$password" >/dev/null 2>&1 || { echo "FAIL: could not make a test certificate"; exit 1; }

PRODUCTS_SIGN_PFX=$work/test.pfx PRODUCTS_SIGN_PASSWORD=$password cpack_into "ZIP;NSIS"

verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1 | grep -q '^Signature verification: ok'; }
# "SIGNED OF": how many of the files the test certificate signed, of how many; names on stderr each it did not.
count_signed() {
  local count=0 file
  for file in "$@"; do
    if verified "$file"; then count=$((count + 1)); else echo "not signed: $file" >&2; fi
  done
  echo "$count of $#"
}

top=Products-$version-$PRODUCTS_WINDOWS_NAME
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$work/out/$top.zip" "$work/zip"
signed=$(count_signed "$work/zip/$top"/*.exe "$work/zip/$top"/*.dll)
[ "$signed" = "7 of 7" ] && ok "the zip's 7 programs and libraries are signed" || fail "the zip: $signed programs and libraries signed"
setup=$work/out/$top-setup.exe
verified "$setup" && ok "the installer is signed" || fail "the installer is not signed"
[ "$mode" = install ] || exit $status

wine_prepare_prefix || { echo "FAIL: could not make a fresh prefix"; exit 1; }
wine "$setup" /S
wineserver -w
find_installed_folder && [ -f "$folder/Vn_Products.exe" ] && ok "the signed installer installs" ||
  fail "nothing installed from the signed installer"
signed=$(count_signed "$folder"/*.exe "$folder"/*.dll)
[ "$signed" = "8 of 8" ] && ok "the 7 installed programs and libraries and the uninstaller are signed" ||
  fail "installed: $signed programs and libraries signed"
exit $status
