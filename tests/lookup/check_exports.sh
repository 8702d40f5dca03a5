#!/bin/bash
# Reads PE export and import tables with objdump -p and checks they name exactly the expected functions.
#   check_exports.sh OBJDUMP exports DLL NAME...                  the DLL exports these names, no others
#   check_exports.sh OBJDUMP imports EXE DLL NAME... [DLL NAME...] EXE imports exactly these from each DLL
set -u

fail() { echo "FAIL: $*" >&2; exit 1; }

[ $# -ge 4 ] || fail "usage: $0 OBJDUMP exports|imports FILE ..."
objdump=$1 mode=$2 file=$3
shift 3
[ -f "$file" ] || fail "$file does not exist"
dump=$("$objdump" -p "$file") || fail "$objdump -p $file failed"

# Compares two newline-separated name lists as sets and reports the difference.
same_names() {  # what expected actual
  local expected actual
  expected=$(printf '%s\n' "$2" | sed '/^$/d' | sort)
  actual=$(printf '%s\n' "$3" | sed '/^$/d' | sort)
  if [ "$expected" != "$actual" ]; then
    echo "FAIL: $1" >&2
    diff <(echo "$expected") <(echo "$actual") | sed -n 's/^< /  missing: /p; s/^> /  unexpected: /p' >&2
    return 1
  fi
}

case $mode in
exports)
  [ $# -ge 1 ] || fail "no expected export names"
  dll_name=$(printf '%s\n' "$dump" | awk '/^Name[ \t]/ { print $NF; exit }')
  [ "$dll_name" = "$(basename "$file")" ] || fail "export directory names '$dll_name', not $(basename "$file")"
  # Every exported address must have a name: an ordinal-only export would slip past the name list.
  addresses=$(printf '%s\n' "$dump" | awk '/^Number in:/ { n = 1; next } n && /Export Address Table/ { print $NF; exit }')
  [ -n "$addresses" ] || fail "no export table in $file"
  [ $((16#$addresses)) -eq $# ] || fail "$file exports $((16#$addresses)) addresses, expected $#"
  names=$(printf '%s\n' "$dump" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
    table && /^[ \t]*$/ { exit }
    table { sub(/^[ \t]*\[[ 0-9]*\][ \t]*/, ""); print }')
  same_names "export names of $file" "$(printf '%s\n' "$@")" "$names" || exit 1
  echo "$file exports exactly: $(echo $names)"
  ;;
imports)
  [ $# -ge 2 ] || fail "no expected DLL and import names"
  # Splits "DLL NAME... DLL NAME..." at the words ending in .dll.
  status=0
  while [ $# -gt 0 ]; do
    dll=$1
    shift
    expected=
    while [ $# -gt 0 ] && [[ ! $1 =~ \.[dD][lL][lL]$ ]]; do
      expected+="$1"$'\n'
      shift
    done
    names=$(printf '%s\n' "$dump" | awk -v dll="$dll" '
      /^[ \t]*DLL Name:/ { section = (tolower($NF) == tolower(dll)); found = found || section; next }
      section && /^[ \t]*$/ { section = 0 }
      section && /^[ \t]*[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+/ { print $3 }
      END { if (!found) print "(no import section)" }')
    same_names "imports of $file from $dll" "$expected" "$names" || status=1
    [ $status -eq 0 ] && echo "$file imports from $dll: $(echo $names)"
  done
  exit $status
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
