#!/usr/bin/env bash
# Checks what the build installs and the Debian packages it makes, each with
# the tool that judges it: desktop-file-validate, appstreamcli, groff on the
# man pages, shared-mime-info with xdg-mime, lintian on both packages (no
# error allowed), and apt-get's simulated install of the companion.
#
#     scripts/package-check.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cmake --build "$build" -j"$(nproc)" --target tolvar tolvar-cli tolvar-server tolvar-icons \
    tolvar-packaging-docs
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
share="$stage/usr/share"

echo "== desktop-file-validate"
desktop-file-validate "$share/applications/org.tolvar.Companion.desktop"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$share/metainfo/org.tolvar.Companion.metainfo.xml"
echo "== man pages (groff -man -ww -z)"
for page in "$share"/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1)
    if [ -n "$warnings" ]; then
        echo "$(basename "$page"): $warnings" >&2
        exit 1
    fi
done
ls "$share"/man/man1

echo "== xdg-mime query filetype"
# The note that the staging folder is not on the search path is expected.
update-mime-database "$share/mime" 2>/dev/null
# A file with content: an empty one is sniffed as text whatever its name.
head -c 256 /dev/urandom >"$stage/some.tvd"
type=$(XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME="$stage/nowhere" XDG_DATA_DIRS="$share:/usr/share" \
    xdg-mime query filetype "$stage/some.tvd")
echo "some.tvd: $type"
[ "$type" = "application/x-tolvar-save" ]

echo "== cpack -G DEB"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/packages/*.deb)
ls -1 "${debs[@]}"
for deb in "${debs[@]}"; do
    dpkg-deb -f "$deb" Package Version Depends
done

echo "== lintian"
# Errors fail the check; warnings are printed for the record.
lintian --fail-on error --tag-display-limit 0 "${debs[@]}"

echo "== apt-get install --simulate"
apt-get install --simulate -qq "$build"/packages/tolvar_*.deb "$build"/packages/tolvar-server_*.deb \
    | grep -E '^(Inst|Conf) tolvar'

echo "== the programs from the extracted packages"
for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$stage/extracted"
done
"$stage/extracted/usr/bin/tolvar" --version
"$stage/extracted/usr/bin/tolvar-cli" --version
"$stage/extracted/usr/bin/tolvar-server" --make-sample "$stage/db" >/dev/null
"$stage/extracted/usr/bin/tolvar-cli" verify "$stage/db/Racing/"*.tvd
echo "package check passed"
