#!/usr/bin/env bash
# Builds vadrel's Debian package as a packager would and checks it.
#
#   scripts/check-package.sh           # the package, its files, and a fresh Debian 12
#   scripts/check-package.sh --quick   # the package and its files only (no chroot)
#   scripts/check-package.sh --quick --build build
#                                      # the package of ./test.sh's build (CI)
#
# The package: a build with Debian's compiler flags (scripts/configure.sh:
# dpkg-buildflags, all hardening) and warnings left as warnings, cpack -G DEB,
# then lintian (no error allowed), desktop-file-validate, appstreamcli
# validate --no-net, the man page through man --warnings, systemd-analyze
# verify of the unit. With --build DIR the package comes from that build
# folder as it is configured: ./test.sh's has the same flags, with the tests
# and warnings as errors besides, and the tests install nothing.
#
# The fresh Debian 12: a debootstrap chroot (minbase, from the mirror this
# machine's apt uses) where `apt-get install ./vadrel_*.deb` must pull in
# what it needs; then an ordinary user runs vadrel on a virtual port, reads a
# sentence from it and finds the table in their data folder; `man vadrel`
# shows the page; the service's own command line runs as a system user,
# feeds /run/vadrel/gps0 and saves its table at SIGTERM; purging the package
# leaves none of its files behind. Needs root (chroot, mounts); the mounts
# live in a mount namespace of their own and go with it.
#
# BUILD_DIR (default build-deb) holds the build, the package, and a cached
# debootstrap tarball (debian12-minbase.tar) that each run unpacks afresh.
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)

quick=false
existing=
while [ "$#" -gt 0 ]; do
    case "$1" in
        --quick) quick=true ;;
        --build) existing=${2:?--build vuole una cartella}; shift ;;
        *) echo "uso: $0 [--quick] [--build CARTELLA]" >&2; exit 2 ;;
    esac
    shift
done

step() { printf '\n== %s\n' "$*"; }
fail() { echo "FALLITO: $*" >&2; exit 1; }

# dpkg-dev for dpkg-shlibdeps and dpkg-buildflags; systemd for the unit
# folder (pkg-config) and systemd-analyze.
extra=(lintian desktop-file-utils appstream dpkg-dev man-db systemd)
$quick || extra+=(debootstrap)
./scripts/install-deps.sh "${extra[@]}"

if [ -n "$existing" ]; then
    case "$existing" in /*) build=$existing ;; *) build=$root_dir/$existing ;; esac
    [ -f "$build/CMakeCache.txt" ] || fail "$existing non è una cartella di compilazione"
    step "Pacchetto (dalla compilazione in $existing)"
else
    BUILD_DIR=${BUILD_DIR:-build-deb}
    build=$root_dir/$BUILD_DIR
    step "Pacchetto (flag di Debian, avvisi non fatali)"
    ./scripts/configure.sh "$build" -DVADREL_TESTS=OFF -DVADREL_WERROR=OFF
fi
cmake --build "$build"
rm -f "$build"/vadrel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/vadrel_*.deb)
echo "$deb"
dpkg-deb --field "$deb" Package Version Depends

step "lintian"
lintian --fail-on error "$deb" 2>&1 | sed '/running with root privileges/d; s/^/  /'
echo "  lintian: nessun errore"

step "Menu, AppStream, pagina di manuale, servizio"
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
dpkg-deb -x "$deb" "$files"
desktop-file-validate "$files/usr/share/applications/vadrel.desktop"
appstreamcli validate --no-net "$files"/usr/share/metainfo/*.metainfo.xml
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$files/usr/share/man/man1/vadrel.1.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "man --warnings: $man_warnings"
echo "  man: nessun avviso"
# verify wants the executable the unit names: the unit as installed, with
# its ExecStart pointing into the unpacked package.
sed "s#^ExecStart=/usr/bin/#ExecStart=$files/usr/bin/#" "$files/lib/systemd/system/vadrel.service" \
    >"$files/vadrel.service"
systemd-analyze verify --man=no "$files/vadrel.service"
echo "  systemd-analyze verify: nessun errore"

if $quick; then
    echo; echo "Pacchetto verificato (senza chroot)."
    exit 0
fi

step "Debian 12 nuovo (debootstrap)"
base=$build/debian12-minbase.tar
# The mirror this machine's apt uses, and its date checks, for the chroot too.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list)
[ -n "$mirror" ] || fail "nessun mirror Debian nella configurazione di apt"
if [ ! -f "$base" ]; then
    fresh=$(mktemp -d)
    debootstrap --variant=minbase bookworm "$fresh" "$mirror" >"$build/debootstrap.log" 2>&1 \
        || { tail -n 20 "$build/debootstrap.log"; fail "debootstrap"; }
    tar -C "$fresh" -cf "$base.part" . && mv "$base.part" "$base"
    rm -rf "$fresh"
fi
chroot_dir=$(mktemp -d)
trap 'rm -rf "$files" "$chroot_dir"' EXIT
tar -C "$chroot_dir" -xf "$base"
chmod 0755 "$chroot_dir"  # its / for every user, not mktemp's 0700
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    rm -f "$chroot_dir/etc/apt/sources.list"
    cp /etc/apt/sources.list.d/debian.sources "$chroot_dir/etc/apt/sources.list.d/"
fi
apt-config dump | grep -E '^Acquire::Check-(Valid-Until|Date) ' >"$chroot_dir/etc/apt/apt.conf.d/99host" || true
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf" 2>/dev/null || true
cp "$deb" "$chroot_dir/tmp/"
cp scripts/check-package-inside.sh "$chroot_dir/tmp/"

unshare --mount --propagation private bash -c '
    set -e
    mount -t proc proc "$1/proc"
    mount --rbind /dev "$1/dev"
    mount -t tmpfs tmpfs "$1/run"
    chroot "$1" /bin/bash /tmp/check-package-inside.sh "/tmp/$2"
' check "$chroot_dir" "$(basename "$deb")"
echo; echo "Pacchetto verificato, anche in un Debian 12 nuovo."
