#!/usr/bin/env bash
# Builds the Debian package of a configured and built tree in a temporary directory, then checks
# its control fields and file list, and runs what it installs:
#   check-package.sh CPACK_CONFIG VERSION SAMPLE FILE...
# FILE... are the paths that must be in the package, relative to /usr.
set -euo pipefail
config=$1 version=$2 sample=$3
shift 3
expected=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cpack -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack could not build the package" >&2
  exit 1
}
arch=$(dpkg --print-architecture)
deb=$work/out/corvane_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
  ls "$work/out" >&2
  echo "FAIL: no package named $(basename "$deb")" >&2
  exit 1
fi

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = corvane ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Section)" = sound ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# Dependencies come from the binaries: the C and C++ runtimes at least.
depends=$(field Depends)
for library in libc6 libstdc++6; do
  grep -q "$library (>=" <<<"$depends" || fail "Depends lacks $library: '$depends'"
done
[ "$(field Description | wc -l)" -gt 1 ] || fail "the Description has no long text"

dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./||' >"$work/contents"
for file in "${expected[@]}"; do
  grep -qxF "usr/$file" "$work/contents" || fail "the package lacks /usr/$file"
done

root=$work/root
dpkg-deb --extract "$deb" "$root"
cli=$root/usr/bin/corvane-cli
[ "$("$cli" --version)" = "corvane-cli $version" ] || fail "corvane-cli --version says '$("$cli" --version)'"
[ "$("$cli" detect "$sample")" = "AC-3 0" ] || fail "corvane-cli detect says '$("$cli" detect "$sample" || true)'"

# The manual page renders without a groff warning and shows the commands.
page=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/corvane-cli.1.gz" 2>"$work/man.err")
[ ! -s "$work/man.err" ] || fail "man warns: $(cat "$work/man.err")"
grep -q "tree FILE OFFSET" <<<"$page" || fail "the manual page lacks the tree command"

# The MIME package compiles into a database that maps both names to audio/eac3.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/corvane.xml" "$work/mime/packages/"
XDG_DATA_DIRS=$work XDG_DATA_HOME=$work update-mime-database "$work/mime" 2>"$work/mime.err" || fail "update-mime-database: $(cat "$work/mime.err")"
[ ! -s "$work/mime.err" ] || fail "update-mime-database warns: $(cat "$work/mime.err")"
for glob in '*.eac3' '*.ec3'; do
  grep -qF ":audio/eac3:$glob" "$work/mime/globs2" 2>/dev/null || fail "no glob $glob for audio/eac3"
done

desktop=$root/usr/share/applications/corvane.desktop
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects corvane.desktop"
  for png in "$root"/usr/share/icons/hicolor/*x*/apps/corvane.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    file "$png" | grep -q "PNG image data, ${size/x/ x }," || fail "$png is not a $size PNG: $(file -b "$png")"
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package $(basename "$deb") checked"
