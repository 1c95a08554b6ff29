#!/usr/bin/env bash
# usage: package.sh BUILD_DIR PACKAGE VERSION GUI(ON|OFF)
# Builds the Debian package as cpack -G DEB does in the build folder, checks
# its control fields, its contents and lintian's verdict, installs it into a
# scratch root with dpkg, runs what it installed, and removes it again.
set -euo pipefail
build=$1 package=$2 version=$3 gui=$4
for tool in dpkg-deb dpkg-shlibdeps cpack; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (scripts/install-deps.sh installs it)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A folder of its own, so that two runs (or a developer's cpack) never meet.
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/${package}_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$work/out")"

info=$(dpkg-deb --info "$deb")
echo "$info" | sed -n '/Package:/,$p'
field() { sed -nE "s/^ $1: (.*)/\1/p" <<<"$info"; }
[ "$(field Package)" = "$package" ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
# From dpkg-shlibdeps: the libraries the programs link, with their versions.
for dep in 'libqt6core6 (>= ' 'libqt6sql6 (>= ' 'libsqlite3-0 (>= ' 'libc6 (>= ' libqt6sql6-sqlite; do
  [[ $(field Depends) == *"$dep"* ]] || fail "Depends lacks $dep: $(field Depends)"
done
if [ "$gui" = ON ]; then
  [[ $(field Depends) == *'libqt6widgets6 (>= '* ]] || fail "Depends lacks Qt Widgets: $(field Depends)"
else
  [[ $(field Depends) != *libqt6widgets6* ]] || fail "the headless package needs Qt Widgets: $(field Depends)"
fi

dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/contents"
expected=(
  /usr/bin/harvex-cli
  /usr/share/man/man1/harvex-cli.1.gz
  /usr/share/bash-completion/completions/harvex-cli
  /usr/share/zsh/vendor-completions/_harvex-cli
  /usr/lib/systemd/user/harvex-rescan.service
  /usr/lib/systemd/user/harvex-rescan.timer
  "/usr/share/doc/$package/README.md"
  "/usr/share/doc/$package/copyright"
  "/usr/share/doc/$package/changelog.gz"
)
if [ "$gui" = ON ]; then
  expected+=(/usr/bin/harvex /usr/share/man/man1/harvex.1.gz /usr/share/applications/harvex.desktop
             /usr/share/metainfo/org.harvex.harvex.metainfo.xml /usr/share/icons/hicolor/scalable/apps/harvex.svg)
  for size in 16 22 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/harvex.png")
  done
fi
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/contents"; then
  fail "the contents differ from the list above (- missing, + unexpected)"
fi
echo "contents: ${#expected[@]} files, as listed"

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
  cat "$work/lintian"
  ! grep -q '^E: ' "$work/lintian" || fail "lintian reports errors"
  echo "lintian: no errors, $(grep -c '^W: ' "$work/lintian" || true) warnings"
else
  echo "lintian is missing: its check is skipped"
fi

# A dpkg database of its own: nothing of this machine's is touched.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkgr() { dpkg --root="$root" --log="$work/dpkg.log" --force-depends --force-not-root "$@"; }
dpkgr -i "$deb" >"$work/dpkg-i.log" 2>&1 || fail "dpkg -i"
[ "$("$root/usr/bin/harvex-cli" --version)" = "harvex-cli $version" ] || fail "harvex-cli --version"
if [ "$gui" = ON ]; then
  [ "$("$root/usr/bin/harvex" --version)" = "harvex $version" ] || fail "harvex --version"
fi
unit=$root/usr/lib/systemd/user/harvex-rescan.service
grep -qx 'ExecStart=/usr/bin/harvex-cli rescan --older-than 1d' "$unit" || fail "$(grep ExecStart "$unit")"
if command -v man >/dev/null; then
  page=$(man -M "$root/usr/share/man" -w harvex-cli) || fail "man -w harvex-cli"
  [ "$page" = "$root/usr/share/man/man1/harvex-cli.1.gz" ] || fail "man -w found $page"
  MANWIDTH=80 man -l -P cat "$page" 2>&1 >/dev/null | { ! grep .; } || fail "man warns on the page"
fi
# The completions are where the shells look for them.
bashdir=$(pkg-config --variable=completionsdir bash-completion 2>/dev/null || echo /usr/share/bash-completion/completions)
[ -f "$root$bashdir/harvex-cli" ] || fail "no bash completion in $bashdir"
if command -v zsh >/dev/null; then
  zsh -fc 'print -l $fpath' | grep -qx /usr/share/zsh/vendor-completions || fail "zsh does not read vendor-completions"
fi
# The AppStream entry as software centres read it: beside the menu entry and icon it names.
if [ "$gui" = ON ] && command -v appstreamcli >/dev/null; then
  appstreamcli validate-tree --no-net "$root" >"$work/appstream" 2>&1 || { cat "$work/appstream"; fail "validate-tree"; }
fi
echo "installed: harvex-cli --version, man -w harvex-cli and the completions found"

dpkgr -r "$package" >"$work/dpkg-r.log" 2>&1 || fail "dpkg -r"
# dpkg's own database aside, the root is as empty as before.
left=$(cd "$root" && find . -type f ! -path './var/lib/dpkg/*')
[ -z "$left" ] || fail "dpkg -r left: $left"
echo "removed: no file left"
