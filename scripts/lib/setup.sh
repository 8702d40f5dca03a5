# Installs what building and testing need on a Debian 12 machine; quick when all is there.
# Source it, then call ensure_packages.

# Debian packages the project needs (native tools, the i686 MinGW cross compilers, Wine, a display).
PRODUCTS_PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev googletest python3 iso-codes file procps
  g++-mingw-w64-i686 wine wine32:i386 xvfb xauth x11-utils imagemagick libasio-dev
)

ensure_packages() {
  local missing=() package
  for package in "${PRODUCTS_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# Starts a private Xvfb on the first free display and exports DISPLAY; XVFB_PID names it.
start_display() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024x24}" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local number=""
  read -r -t 30 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$number"
}

stop_display() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}
