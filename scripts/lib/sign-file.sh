#!/bin/bash
# Signs one Windows program, library or installer in place with Authenticode (SHA-256), with the
# certificate and key in PRODUCTS_SIGN_PFX; with PRODUCTS_SIGN_TIMESTAMP also countersigned by that
# RFC 3161 timestamp server. The password comes from PRODUCTS_SIGN_PASSWORD and reaches osslsigncode
# through a file only this user can read, never as a command argument.
# usage: sign-file.sh FILE
set -euo pipefail
file=$1
pfx=${PRODUCTS_SIGN_PFX:?PRODUCTS_SIGN_PFX names no certificate}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(umask 077 && printf '%s' "${PRODUCTS_SIGN_PASSWORD-}" >"$work/password")
args=(sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256 -n Products -in "$file" -out "$work/signed")
if [ -n "${PRODUCTS_SIGN_TIMESTAMP:-}" ]; then
  args+=(-ts "$PRODUCTS_SIGN_TIMESTAMP")
fi
if ! osslsigncode "${args[@]}" >"$work/log" 2>&1; then
  echo "error: could not sign $file:" >&2
  sed 's/^/  /' "$work/log" >&2
  exit 1
fi
# Written over rather than moved, so the file keeps its place, owner and mode.
cat "$work/signed" >"$file"
