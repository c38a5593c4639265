#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses it from there as people
# would: the files a desktop needs, valid; the MIME database built from our
# type, naming a model by its magic alone; ombrel working from its bin
# folder, finding its viewer and data relative to itself; then the same
# tree as a Debian package.
#   install_tree_test.sh BUILD_DIR CORPUS_DIR
set -euo pipefail
export PATH=/usr/bin:$PATH
build=$1 corpus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
P=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$P" >/dev/null

for f in bin/ombrel libexec/ombrel/viewer libexec/ombrel/glswitch \
  libexec/ombrel/ombrel-drawing.so libexec/ombrel/ombrel-chooser.so \
  share/ombrel/water.pcx share/ombrel/sample/fish.md2 share/ombrel/sample/ombrel.cfg \
  share/applications/ombrel.desktop share/mime/packages/ombrel.xml \
  share/thumbnailers/ombrel.thumbnailer share/metainfo/org.ombrel.ombrel.metainfo.xml \
  share/man/man1/ombrel.1.gz share/bash-completion/completions/ombrel share/doc/ombrel/copyright; do
  [ -f "$P/$f" ] || fail "$f is not installed"
done
for size in 16 32 48 64 128 256; do
  icon=$P/share/icons/hicolor/${size}x$size/apps/ombrel.png
  file -b "$icon" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || fail "icon $icon: $(file -b "$icon")"
done
# glswitch starts the ombrel beside it: a link to bin/ombrel.
[ "$(readlink -f "$P/libexec/ombrel/ombrel")" = "$P/bin/ombrel" ] || fail "libexec/ombrel/ombrel does not lead to bin/ombrel"

# The manual as man reads it: gzip without a name or time inside (the same
# source, the same file), holding a page with its sections.
file -b "$P/share/man/man1/ombrel.1.gz" | grep -q '^gzip compressed data, max compression, from Unix' ||
  fail "the manual is $(file -b "$P/share/man/man1/ombrel.1.gz")"
! file -b "$P/share/man/man1/ombrel.1.gz" | grep -q 'was "' || fail "the compressed manual keeps its file name"
manual=$(gzip -dc "$P/share/man/man1/ombrel.1.gz")
for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
  grep -q "^\.SH \"\?$section\"\?\$" <<<"$manual" || fail "the manual has no $section section"
done
! grep -q "/root/\|/home/" <<<"$manual" || fail "the manual names this machine's home folder"
# The copyright file in Debian's machine-readable format, under the MIT
# licence (Expat, as Debian names it).
copyright=$P/share/doc/ombrel/copyright
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright: not the machine-readable format"
{ grep -qx 'License: Expat' "$copyright" && grep -q '^ Permission is hereby granted' "$copyright"; } ||
  fail "copyright: no MIT (Expat) licence text"

desktop-file-validate "$P/share/applications/ombrel.desktop" || fail "desktop file"
appstreamcli validate --no-net "$P/share/metainfo/org.ombrel.ombrel.metainfo.xml" >/dev/null || fail "metainfo"

update-mime-database "$P/share/mime" 2>"$work/err" || fail "update-mime-database: $(cat "$work/err")"
grep -q ':model/x-md2:\*\.md2$' "$P/share/mime/globs2" || fail "no *.md2 glob in globs2"
cp "$corpus/faerie.md2" "$work/model.bin"
head -c 4 "$corpus/faerie.md2" >"$work/tag-only.bin"
type_of() { XDG_DATA_HOME=$work/none XDG_DATA_DIRS=$P/share:/usr/share gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'; }
[ "$(type_of "$work/model.bin")" = model/x-md2 ] || fail "a model without .md2 is $(type_of "$work/model.bin")"
[ "$(type_of "$work/tag-only.bin")" != model/x-md2 ] || fail "four bytes \"IDP2\" taken for a model"

cd "$work"
"$P/bin/ombrel" --help >/dev/null || fail "ombrel --help"
"$P/libexec/ombrel/ombrel" --version | grep -q '^ombrel ' || fail "ombrel --version through the link"
"$P/bin/ombrel" --write-config "$work/run.cfg" "$corpus/faerie.md2" || fail "ombrel --write-config"
grep -aq "$P/share/ombrel/water.pcx" "$work/run.cfg" || fail "the record does not name the installed water picture"
"$P/bin/ombrel" render --size 64x48 "$corpus/faerie.md2" -o "$work/faerie.png" || fail "ombrel render"
file -b "$work/faerie.png" | grep -q 'PNG image data, 64 x 48' || fail "render wrote $(file -b "$work/faerie.png")"
# The thumbnailer's own command line, as a file manager runs it.
exec_line=$(sed -n 's/^Exec=//p' "$P/share/thumbnailers/ombrel.thumbnailer")
read -r -a thumbnailer <<<"${exec_line//%s/128}"
thumbnailer=("${thumbnailer[@]//%i/$corpus/faerie.md2}")
thumbnailer=("${thumbnailer[@]//%o/$work/thumb.png}")
PATH=$P/bin:$PATH "${thumbnailer[@]}" || fail "the thumbnailer: ${thumbnailer[*]}"
file -b "$work/thumb.png" | grep -Eq 'PNG image data, (128 x [0-9]+|[0-9]+ x 128),' || fail "thumbnail $(file -b "$work/thumb.png")"
# The same in the sandbox file managers run thumbnailers in: the install tree
# read-only (as they show /usr), the model, the output folder, nothing else;
# the drawing plugin comes from the tree.
if bwrap --ro-bind /usr /usr --symlink usr/lib /lib --symlink usr/lib64 /lib64 --unshare-all /usr/bin/true 2>/dev/null; then
  mkdir "$work/sandboxed"
  read -r -a sandboxed <<<"${exec_line//%s/128}"
  sandboxed=("${sandboxed[@]//%i//model.md2}")
  sandboxed=("${sandboxed[@]//%o//out/thumb.png}")
  bwrap --ro-bind /usr /usr --symlink usr/lib /lib --symlink usr/lib64 /lib64 --ro-bind "$P" "$P" \
    --ro-bind "$corpus/faerie.md2" /model.md2 --bind "$work/sandboxed" /out --unshare-all --dev /dev --proc /proc \
    /usr/bin/env -i PATH="$P/bin" "${sandboxed[@]}" 2>"$work/err" ||
    fail "the thumbnailer in a sandbox: $(cat "$work/err")"
  file -b "$work/sandboxed/thumb.png" | grep -Eq 'PNG image data, 128 x 128,' ||
    fail "sandboxed thumbnail: $(ls "$work/sandboxed")"
else
  echo "note: bubblewrap can't make a sandbox here (no user namespaces?): the sandboxed thumbnailer is not tried"
fi
# The viewer is found in libexec: ombrel keeps running it (on a private X
# server) until the time is up, where a missing one ends at once.
status=0
env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER xvfb-run -a -s "-screen 0 800x600x24" \
  timeout 3 "$P/bin/ombrel" "$corpus/faerie.md2" 2>"$work/err" || status=$?
[ "$status" = 124 ] || fail "ombrel MODEL ended with $status: $(cat "$work/err")"

# The Debian package of the same tree: under /usr, with the link, and the
# libraries its programs need as dependencies.
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/err" 2>&1 || fail "cpack: $(cat "$work/err")"
deb=$(ls "$work"/package/ombrel_*.deb)
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/ombrel ./usr/libexec/ombrel/viewer ./usr/share/mime/packages/ombrel.xml \
  ./usr/share/thumbnailers/ombrel.thumbnailer ./usr/share/ombrel/water.pcx; do
  grep -q " $f\( \|\$\)" <<<"$contents" || fail "$f is not in the package"
done
grep -q ' ./usr/libexec/ombrel/ombrel -> ../../bin/ombrel$' <<<"$contents" || fail "the package lacks the link to ombrel"
# Debian's copyright file, the compressed manual and the completion.
for f in ./usr/share/doc/ombrel/copyright ./usr/share/man/man1/ombrel.1.gz \
  ./usr/share/bash-completion/completions/ombrel; do
  grep -q " $f\$" <<<"$contents" || fail "$f is not in the package"
done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/ombrel/copyright | cmp -s - "$copyright" ||
  fail "the package's copyright file differs from the installed one"
# Depends comes from dpkg-shlibdeps (dpkg-dev): without it cpack writes a
# package that depends on nothing.
command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (Debian package dpkg-dev)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2 libopengl0 libglu1 zlib1g libgif7; do
  grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib: $depends"
done
echo "install tree under $P and its package: all checks passed"
