# Which Windows build this run tests, decided once per run by trying: a machine that executes 32-bit
# x86 code runs the i686 tree under 32-bit Wine, as users' programs are built; one that cannot (some
# hypervisors run no 32-bit code at all) runs the same sources built for x86_64 under 64-bit Wine.
# PRODUCTS_WINDOWS_ARCH=32 or 64 forces a way. Source it, then call choose_windows_arch; it exports
# PRODUCTS_WINDOWS_ARCH and PRODUCTS_WINDOWS_PRESET (win32 or win64) for the scripts it starts.

# Runs a real 32-bit program: a tiny static i386 ELF made here that exits with 42 through int 0x80,
# so nothing but the processor and the kernel's 32-bit support are put to the test.
machine_runs_i386_code() {
  local probe
  # In the build folder: a temporary folder may be mounted without the right to execute.
  mkdir -p build && probe=$(mktemp build/.i386-probe.XXXXXX) || return 1
  python3 - "$probe" <<'ELF' || { rm -f "$probe"; return 1; }
import struct, sys
base = 0x08048000
code = bytes([0xBB, 42, 0, 0, 0,      # mov ebx, 42
              0xB8, 1, 0, 0, 0,       # mov eax, 1 (exit)
              0xCD, 0x80])            # int 0x80
size = 52 + 32 + len(code)
header = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
header += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], "wb") as out:
    out.write(header + segment + code)
ELF
  chmod +x "$probe"
  local rc=0
  PRODUCTS_I386_ERROR=$("$probe" 2>&1) || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ] && return 0
  PRODUCTS_I386_ERROR=${PRODUCTS_I386_ERROR:-exit code $rc}
  return 1
}

choose_windows_arch() {
  # A script started by another that has decided already follows that decision and says nothing.
  if [ -n "${PRODUCTS_WINDOWS_WAY_SAID:-}" ] && [ -n "${PRODUCTS_WINDOWS_PRESET:-}" ]; then
    return 0
  fi
  local why
  case "${PRODUCTS_WINDOWS_ARCH:-}" in
    32)
      if ! machine_runs_i386_code; then
        echo "error: PRODUCTS_WINDOWS_ARCH=32, but this machine cannot run 32-bit x86 code ($PRODUCTS_I386_ERROR)" >&2
        return 1
      fi
      why="PRODUCTS_WINDOWS_ARCH=32" ;;
    64) why="PRODUCTS_WINDOWS_ARCH=64" ;;
    "")
      if machine_runs_i386_code; then
        PRODUCTS_WINDOWS_ARCH=32 why="a 32-bit test program ran on this machine"
      else
        PRODUCTS_WINDOWS_ARCH=64 why="this machine cannot run 32-bit x86 code: a 32-bit test program failed ($PRODUCTS_I386_ERROR)"
      fi ;;
    *)
      echo "error: PRODUCTS_WINDOWS_ARCH is '$PRODUCTS_WINDOWS_ARCH'; use 32, 64 or leave it unset" >&2
      return 1 ;;
  esac
  if [ "$PRODUCTS_WINDOWS_ARCH" = 32 ]; then
    PRODUCTS_WINDOWS_PRESET=win32
    echo "Windows tests: the 32-bit build under 32-bit Wine ($why)"
  else
    PRODUCTS_WINDOWS_PRESET=win64
    echo "Windows tests: the 64-bit build of the same sources under 64-bit Wine; the 32-bit downloads are built and checked without running them ($why)"
  fi
  export PRODUCTS_WINDOWS_ARCH PRODUCTS_WINDOWS_PRESET PRODUCTS_WINDOWS_WAY_SAID=1
}
