#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian 12 packages Quillary needs, and only those that are missing, so it is quick
# when everything is there. Run it as your normal user: it calls sudo only to install.
# Usage: scripts/install-deps.sh          what building and running need
#        scripts/install-deps.sh --test   that, and what the tests, CI and the Debian package need
set -euo pipefail

PACKAGES=(
    cmake g++ make pkg-config         # build
    qt6-base-dev libgl-dev            # Qt 6 Widgets and Qt Test
    qt6-qpa-plugins                   # Qt's window-system plugins, to show a window at all
    qt6-svg-dev                       # writes the scalable icon at build time
    libx11-dev                        # the keyboard's lock states for the status bar
    libgit2-dev                       # the library's history, a git repository beside it
    zlib1g-dev                        # the history writes its largest trees itself
    qtkeychain-qt6-dev                # sync logins kept in the desktop's keyring
    qt6-tools-dev qt6-l10n-tools      # lupdate and lrelease: the program's own catalogues
    qt6-translations-l10n             # Qt's own buttons and menus in the user's language
    libtree-sitter-dev                # parses snippets to colour them by their language
)
TEST_PACKAGES=(
    clang-14 libclang-rt-14-dev       # the sanitizer build and the fuzzers
    e2fsprogs util-linux              # chattr and mount for the real fault tests
    desktop-file-utils appstream      # validate the menu entry and the metainfo
    dpkg-dev file                     # cpack's Debian package and its computed dependencies
    xvfb xauth xdotool imagemagick    # screenshots in a real window
    git                               # reads back and checks (fsck) the history the tests write
    openssh-server openssh-client     # the sync test runs its own sshd and makes keys with ssh-keygen
    dosfstools fusefat                # a library on a FAT file system, mounted through FUSE where the kernel has no vfat
)

wanted=("${PACKAGES[@]}")
case "${1:-}" in
    "") ;;
    --test) wanted+=("${TEST_PACKAGES[@]}") ;;
    *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

missing=()
# The build fetches the pinned grammar packages once with npm. A machine whose npm came with
# another Node.js package already has it; Debian's npm would conflict with that one.
command -v npm >/dev/null || wanted+=(npm)
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
((${#missing[@]} == 0)) && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "These packages are missing and sudo is not there to install them: ${missing[*]}" >&2
        echo "Install them as root with: apt-get install ${missing[*]}" >&2
        exit 1
    fi
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
