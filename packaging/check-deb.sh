#!/usr/bin/env bash
# Builds the Debian package from a configured, built directory (with the
# window) and checks it: the desktop entry, the MIME package and lintian (no
# errors; warnings are shown). With --install, as root, it also installs the
# package with apt, checks what it gives the system and the desktop, opens a
# sample the way a double-click does (xdg-open under Xvfb), and removes the
# package again.
#   packaging/check-deb.sh [--install] BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."

install=false
if [[ ${1:-} == --install ]]; then
    install=true
    shift
fi
build=$(realpath "${1:?usage: packaging/check-deb.sh [--install] BUILD_DIR}")
mime_type=application/x-orv-document

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

desktop-file-validate packaging/orv-converter.desktop
mkdir -p "$scratch/mime/packages"
cp packaging/orv-converter.xml "$scratch/mime/packages/"
# A malformed package is reported on stderr but not by the exit status.
if XDG_DATA_HOME=$scratch update-mime-database "$scratch/mime" 2>&1 | grep .; then
    echo "check-deb: packaging/orv-converter.xml is refused" >&2
    exit 1
fi

rm -f "$build"/orv-converter_*.deb
(cd "$build" && cpack -G DEB)
deb=$(echo "$build"/orv-converter_*.deb)
dpkg-deb --info "$deb"
echo "check-deb: lintian $deb"
lintian --fail-on error "$deb" 2> >(grep -v 'running with root privileges' >&2)

if ! $install; then
    exit 0
fi

apt-get install -y -qq "$deb"
removed=false
remove() {
    $removed || apt-get remove -y -qq orv-converter
    removed=true
}
trap 'remove; rm -rf "$scratch"' EXIT

# What a shell user gets.
[[ $(command -v orvconv) == /usr/bin/orvconv ]]
[[ $(command -v orvconverter) == /usr/bin/orvconverter ]]
orvconv --help | head -n 1
# Answered without a display, as from a terminal on a server.
env -u DISPLAY -u WAYLAND_DISPLAY orvconverter --version
man -w orvconv orvconverter
# Completions, found by bash-completion's loader and zsh's default fpath.
test -s /usr/share/bash-completion/completions/orvconv
test -s /usr/share/zsh/vendor-completions/_orvconv
bash -c 'source /usr/share/bash-completion/completions/orvconv && complete -p orvconv'
test -s /usr/share/orv-converter/help.htm
# The window's Help falls back to that very file (Qt may store the path as
# UTF-16, hence both kinds of strings; a byte stored just before it may read
# as a character, hence no whole-line match).
{
    strings -a /usr/bin/orvconverter
    strings -a -el /usr/bin/orvconverter
} | grep -F /usr/share/orv-converter/help.htm
test -s /usr/share/icons/hicolor/scalable/apps/orv-converter.svg

# What the desktop gets: the type for *.ORV in either case, and the window as
# the program for it.
for sample in samples/*.ORV samples/*.orv; do
    [[ -e $sample ]] || continue
    found=$(xdg-mime query filetype "$sample")
    echo "check-deb: $sample is $found"
    [[ $found == "$mime_type" ]]
done
default=$(xdg-mime query default "$mime_type")
echo "check-deb: $mime_type opens with $default"
[[ $default == orv-converter.desktop ]]

# A double-click: xdg-open must start the window with the document as its
# argument. The window is then closed again.
sample=$(realpath "$(ls samples/*.ORV | head -n 1)")
xvfb-run -a bash -c '
    sample=$1
    xdg-open "$sample" &
    opener=$!
    for _ in $(seq 100); do
        window=$(pgrep -f "bin/orvconverter $sample" || true)
        [[ -n $window ]] && break
        sleep 0.1
    done
    if [[ -z $window ]]; then
        echo "check-deb: xdg-open did not start orvconverter $sample" >&2
        kill "$opener" 2>/dev/null || true
        exit 1
    fi
    echo "check-deb: xdg-open started orvconverter $sample (pid $window)"
    kill "$window"
    wait "$opener" || true
' check-deb "$sample"

remove
! command -v orvconv >/dev/null
[[ $(xdg-mime query filetype "$sample") != "$mime_type" ]]
echo "check-deb: installed, checked and removed $deb"
