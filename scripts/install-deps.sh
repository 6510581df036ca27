#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build and the tests need, and nothing
# when they are all there already. Uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # the Debian package (make package) and its checks
  dpkg-dev file help2man librsvg2-bin
  lintian desktop-file-utils appstream man-db bsdextrautils
  # MQTT publishing: the client library, and the broker and clients the tests run
  libmosquitto-dev mosquitto mosquitto-clients openssl
  # the change journal (Qt SQL over SQLite) and its PDF report's font and checks
  libqt6sql6-sqlite fonts-dejavu-core poppler-utils
  # network links: TLS, and the device server the tests run
  libssl-dev ser2net
  # dxu-cli serve: Modbus TCP, and systemd-analyze for its service's check
  libmodbus-dev systemd
  # the packages installed into a clean Debian root
  mmdebstrap gpg
  # bench_startup: a display of its own, and the count of the files it opens
  xvfb strace
)
# Optional extras, set by the caller: EXTRA_PACKAGES="imagemagick"
if [ -n "${EXTRA_PACKAGES:-}" ]; then
  read -r -a extra <<<"$EXTRA_PACKAGES"
  packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "error: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
