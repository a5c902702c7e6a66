#!/usr/bin/env bash
# Builds the Debian package of this build folder with cpack, lists it, unpacks it into a scratch root
# with dpkg -x and runs the command-line tool from there. Everything is written to a temporary folder:
# the build folder may be read-only for the user running the tests.
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; echo "cpack failed"; exit 1; }
debs=("$scratch"/out/tavlo_*.deb)
[ -f "${debs[0]}" ] || { cat "$scratch/cpack.log"; echo "no tavlo_*.deb made"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$scratch/contents"
status=0
for path in /usr/bin/tavlo /usr/bin/tavlo-cadtext /usr/share/tavlo/Notify.wav \
            /usr/share/applications/org.tavlo.Tavlo.desktop /usr/share/metainfo/org.tavlo.Tavlo.metainfo.xml \
            /usr/share/icons/hicolor/scalable/apps/org.tavlo.Tavlo.svg \
            /usr/share/man/man1/tavlo.1.gz /usr/share/man/man1/tavlo-cadtext.1.gz; do
  grep -qx "$path" "$scratch/contents" || { echo "missing from the package: $path"; status=1; }
done
for size in 16 24 32 48 64 128 256; do
  path=/usr/share/icons/hicolor/${size}x${size}/apps/org.tavlo.Tavlo.png
  grep -qx "$path" "$scratch/contents" || { echo "missing from the package: $path"; status=1; }
done
# Nothing outside /usr (no build paths, no files of the test build).
if grep -v '^/usr\(/\|$\)' "$scratch/contents" | grep -qv '^/$'; then
  echo "files outside /usr:"; grep -v '^/usr\(/\|$\)' "$scratch/contents"; status=1
fi
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6widgets6 libzip4 libxlsxwriter; do
  [[ $depends == *"$lib"* ]] || { echo "Depends lacks $lib (dpkg-shlibdeps)"; status=1; }
done

dpkg -x "$deb" "$scratch/root"
help=$("$scratch/root/usr/bin/tavlo-cadtext" --help 2>/dev/null) || { echo "tavlo-cadtext --help failed"; status=1; }
[[ $help == *"extract, replace or convert"* ]] || { echo "unexpected help text: $help"; status=1; }
zcat "$scratch/root/usr/share/man/man1/tavlo-cadtext.1.gz" | grep -q '^\.SH OPTIONS' ||
  { echo "the installed man page is not the tool's"; status=1; }
exit $status
