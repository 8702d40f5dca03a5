# Installs what building and testing need on a Debian 12 machine; quick when all is there.
# Source it, then call choose_windows_arch (scripts/lib/arch.sh) and ensure_packages.
source "$(dirname "${BASH_SOURCE[0]}")/arch.sh"

# Debian packages the project needs on every machine (native tools, the i686 MinGW cross compilers
# that build what users get, 64-bit Wine, a display, the PE reader and signer that check the downloads,
# the load balancer of the feed server fleet tests, OpenSSL's libcrypto for its key verifiers, the metrics
# parser, and systemd-analyze, dpkg-shlibdeps, hardening-check and lintian for its package).
PRODUCTS_PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev googletest python3 python3-pefile iso-codes file procps
  g++-mingw-w64-i686 wine wine64 fonts-wine xvfb xauth x11-utils imagemagick libasio-dev nsis
  osslsigncode openssl haproxy systemd dpkg-dev libssl-dev python3-prometheus-client devscripts lintian
)
# What each way of running the Windows tests adds (scripts/lib/arch.sh decides the way): 32-bit Wine,
# or the x86_64 compilers of the 64-bit test build (wine64 needs the GStreamer library named when
# apt falls back to the base release).
PRODUCTS_PACKAGES_WIN32=(wine32:i386)
PRODUCTS_PACKAGES_WIN64=(g++-mingw-w64-x86-64-posix libgstreamer-plugins-base1.0-0)

# Seconds between attempts at the package indexes; the set-up test makes it 0.
PRODUCTS_APT_RETRY_DELAY=${PRODUCTS_APT_RETRY_DELAY:-3}

# The first lines apt printed as errors, for a message that says why.
apt_errors() {
  grep -E '^(E|Err):' "$1" | head -3 | sed 's/^/  /' || true
}

# Fetches the package indexes, up to three times. Mirrors mid-sync fail one index or another; when
# some indexes still failed after the last try apt has the rest, and the install may well manage.
update_package_indexes() {
  local log=$1 attempt
  for attempt in 1 2 3; do
    $sudo apt-get update -q >"$log" 2>&1 && return 0
    [ "$attempt" -lt 3 ] && sleep "$PRODUCTS_APT_RETRY_DELAY"
  done
  if grep -q 'Some index files failed to download' "$log"; then
    echo "warning: some package indexes failed to download; going on with the others:" >&2
    apt_errors "$log" >&2
    return 0
  fi
  echo "error: apt-get update failed:" >&2
  apt_errors "$log" >&2
  return 1
}

ensure_packages() {
  local missing=() package wanted=("${PRODUCTS_PACKAGES[@]}")
  case "${PRODUCTS_WINDOWS_ARCH:-}" in
    32) wanted+=("${PRODUCTS_PACKAGES_WIN32[@]}") ;;
    64) wanted+=("${PRODUCTS_PACKAGES_WIN64[@]}") ;;
  esac
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  local log
  log=$(mktemp)
  if ! update_package_indexes "$log"; then
    rm -f "$log"
    echo "error: could not install ${missing[*]}" >&2
    return 1
  fi
  local install=($sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends)
  if "${install[@]}" "${missing[@]}" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  # A missing security index leaves amd64 libraries newer than their i386 twins ("held broken
  # packages"); the base release has both at one version.
  local release
  release=$( (. /etc/os-release && echo "${VERSION_CODENAME:-}") 2>/dev/null || true)
  release=${release:-bookworm}
  echo "The install failed; trying once more preferring the base release ($release)." >&2
  if "${install[@]}" -t "$release" "${missing[@]}" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  # Still held back when installed amd64 libraries are newer than any i386 twin apt can see: take
  # the base release's versions throughout, which downgrades just those libraries to match.
  echo "Still held back; installing the base release's versions, downgrading the libraries that lack an i386 twin." >&2
  local pin
  pin=$(mktemp)
  printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$release" >"$pin"
  if "${install[@]}" --allow-downgrades -o "Dir::Etc::Preferences=$pin" "${missing[@]}" >"$log" 2>&1; then
    rm -f "$log" "$pin"
    return 0
  fi
  rm -f "$pin"
  echo "error: could not install ${missing[*]}:" >&2
  apt_errors "$log" >&2
  rm -f "$log"
  return 1
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
