#!/usr/bin/env bash
# Makes sure the Debian packages a make target needs are present: installs
# the missing ones with apt-get when run as root, otherwise names them in
# one line and fails.
#   tools/ensure-deps.sh run|test|bench|fuzz
set -euo pipefail

case "${1:-test}" in
  run) packages=(cmake g++ make) ;;
  test) packages=(cmake g++ make libgtest-dev g++-multilib python3) ;;
  bench) packages=(cmake g++ make stockfish ethereal-chess toga2 glaurung valgrind) ;;
  fuzz) packages=(cmake make clang libclang-rt-dev) ;;
  *) echo "usage: $0 run|test|bench|fuzz" >&2; exit 2 ;;
esac

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

install() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: $* (install them with: sudo apt-get install $*)" >&2
    exit 1
  fi
  echo "installing $*"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

if ! command -v dpkg-query >/dev/null; then
  for c in cmake g++ make; do
    command -v "$c" >/dev/null || { echo "missing command: $c" >&2; exit 1; }
  done
  exit 0
fi

need=$(missing "${packages[@]}")
[ -z "$need" ] || install $need

# The 32-bit engine is tested through qemu where the kernel cannot run
# 32-bit programs itself.
if [ "${1:-test}" = test ]; then
  probe=$(mktemp -d)
  trap 'rm -rf "$probe"' EXIT
  echo 'int main() { return 0; }' > "$probe/p.cpp"
  if g++ -m32 -o "$probe/p" "$probe/p.cpp" 2>/dev/null && ! "$probe/p" 2>/dev/null; then
    need=$(missing qemu-user)
    [ -z "$need" ] || install $need
  fi
fi
exit 0
