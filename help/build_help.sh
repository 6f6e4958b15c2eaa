#!/bin/sh
# Compile the Tarvenix 7.00 help of one system into <output-dir>/Tarvenix7.chm.
#
#   sh help/build_help.sh <output-dir> [linux|windows]      (default: linux)
#   sh help/build_help.sh --sources <output-dir> linux|windows
#
# Needs chmcmd (Debian package fp-utils), iconv (libc-bin) and perl.
# Set CHMCMD to use a chmcmd that is not on PATH. With --sources nothing is
# compiled: the help sources of that system are written to <output-dir>.
#
# One set of sources serves both programs. What belongs to one system only
# stands between <!--linux--> and <!--/linux--> (or <!--windows--> and
# <!--/windows-->), on the same line or on lines of their own, in the pages
# and in the contents and index files; a page named after a system
# (html/linux.html, html/windows.html) is part of that system's help only.
# The other system's parts are left out before the links are checked, so a
# link to a page the help does not hold stops the build.
#
# The sources are kept in UTF-8. The project file and the contents file are
# converted to Shift-JIS (code page 932, the code page of the help language
# 0x411) in a scratch folder before compiling, since CHM viewers read the
# title and the contents tree in that code page. The pages declare UTF-8 in
# their <meta> tag; the index stays UTF-8 (chmcmd turns it into the binary
# UTF-16 index).
set -eu

prog=build_help.sh
die() {
    printf '%s: error: %s\n' "$prog" "$*" >&2
    exit 1
}

sources_only=0
if [ "${1:-}" = --sources ]; then
    sources_only=1
    shift
fi
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ -z "$1" ]; then
    printf 'usage: %s [--sources] <output-dir> [linux|windows]\n' "$prog" >&2
    exit 2
fi
out_dir=$1
system=${2:-linux}
case $system in
    linux) other=windows ;;
    windows) other=linux ;;
    *) die "unknown system '$system' (linux or windows)" ;;
esac

src_dir=$(cd "$(dirname "$0")" && pwd)
project=Tarvenix7
chm_name=$project.chm

chmcmd=${CHMCMD:-chmcmd}
[ $sources_only -eq 1 ] || command -v "$chmcmd" >/dev/null 2>&1 || die "chmcmd not found (looked for '$chmcmd').
  The help file Tarvenix7.chm is compiled with chmcmd from Free Pascal.
  On Debian/Ubuntu install it with:  apt-get install fp-utils
  or point CHMCMD at the chmcmd program."
command -v iconv >/dev/null 2>&1 || die "iconv not found (Debian package libc-bin)"
command -v perl >/dev/null 2>&1 || die "perl not found (Debian package perl-base)"

for f in "$project.hhp" "$project.hhc" "$project.hhk" html/index.html; do
    [ -f "$src_dir/$f" ] || die "missing help source $src_dir/$f"
done

# --- stage the sources of this system --------------------------------------
mkdir -p "$out_dir" || die "cannot create output folder $out_dir"
out_dir=$(cd "$out_dir" && pwd)

stage=$(mktemp -d "${TMPDIR:-/tmp}/tarvenix-help.XXXXXX")
trap 'rm -rf "$stage"' EXIT
trap 'exit 1' HUP INT TERM

cp -R "$src_dir/html" "$stage/html"
cp "$src_dir/$project.hhp" "$src_dir/$project.hhc" "$src_dir/$project.hhk" "$stage/"
rm -f "$stage/html/$other.html"
grep -v -x "html/$other.html" "$src_dir/$project.hhp" >"$stage/$project.hhp"
for f in "$stage"/html/*.html "$stage/$project.hhc" "$stage/$project.hhk"; do
    perl -0pi -e "s{^[ \\t]*<!--$other-->.*?<!--/$other-->[ \\t]*\\r?\\n}{}gms;
        s{<!--$other-->.*?<!--/$other-->}{}gs;
        s{^[ \\t]*<!--/?$system-->[ \\t]*\\r?\\n}{}gm; s{<!--/?$system-->}{}g" "$f"
    ! grep -q -e "<!--/\\?$other-->" -e "<!--/\\?$system-->" "$f" ||
        die "${f#"$stage"/}: a <!--$other--> or <!--$system--> mark without its end"
done

# --- check links -----------------------------------------------------------
# Every page listed in the project must exist, every page in html/ must be
# listed, and every relative href/src and every contents/index entry must
# point at an existing file (chmcmd does not report broken links).
listed=$(sed -n '/^\[FILES\]/,/^\[/p' "$stage/$project.hhp" | grep -v '^\[' | grep -v '^[[:space:]]*$' | tr -d '\r')
bad=0
for f in $listed; do
    [ -f "$stage/$f" ] || { echo "$prog: listed in $project.hhp but missing: $f" >&2; bad=1; }
done
for f in "$stage"/html/*.html "$stage"/html/*.css; do
    rel=html/${f##*/}
    printf '%s\n' "$listed" | grep -qx "$rel" || { echo "$prog: $rel is not listed under [FILES] in $project.hhp" >&2; bad=1; }
done
# check_target <where> <path relative to the help folder, may end in #anchor>
check_target() {
    file=${2%%#*}
    if [ ! -f "$stage/$file" ]; then
        echo "$prog: $1 points at a missing file: $2" >&2
        bad=1
    elif [ "$file" != "$2" ]; then
        anchor=${2#*#}
        grep -q -E "(name|id)=\"$anchor\"" "$stage/$file" \
            || { echo "$prog: $1 points at a missing anchor: $2" >&2; bad=1; }
    fi
}
for page in "$stage"/html/*.html; do
    for target in $(grep -o -E '(href|src)="[^"]*"' "$page" | sed -E 's/^(href|src)="//; s/"$//'); do
        case $target in http:*|https:*|mailto:*) continue ;; esac
        case $target in
            '#'*) check_target "html/${page##*/}" "html/${page##*/}$target" ;;
            *) check_target "html/${page##*/}" "html/$target" ;;
        esac
    done
done
for map in "$project.hhc" "$project.hhk"; do
    for target in $(grep -o 'name="Local" value="[^"]*"' "$stage/$map" | sed 's/.*value="//; s/"$//'); do
        check_target "$map" "$target"
    done
done
[ $bad -eq 0 ] || die "help sources have errors (see above)"

if [ $sources_only -eq 1 ]; then
    cp -R "$stage/html" "$stage/$project.hhp" "$stage/$project.hhc" "$stage/$project.hhk" "$out_dir/"
    printf '%s: wrote the %s help sources to %s\n' "$prog" "$system" "$out_dir"
    exit 0
fi

# --- compile -----------------------------------------------------------------

# Line-break points for Japanese text: the common Linux viewer (xchm, built on
# wxHTML) wraps lines only at white space, so a paragraph of Japanese would
# run off the right edge. A line break after each "。" and "、" (outside
# <pre> blocks) gives it places to wrap; other viewers show it as a small gap.
for page in "$stage"/html/*.html; do
    awk '/<pre[ >]/ { pre = 1 }
         { if (!pre) { gsub(/。/, "。\n"); gsub(/、/, "、\n") } print }
         /<\/pre>/ { pre = 0 }' "$page" >"$page.tmp"
    mv "$page.tmp" "$page"
done
for f in "$project.hhp" "$project.hhc"; do
    iconv -f UTF-8 -t CP932 "$stage/$f" >"$stage/$f.cp932" && mv "$stage/$f.cp932" "$stage/$f" \
        || die "$f holds characters that Shift-JIS (code page 932) cannot represent"
done

if ! (cd "$stage" && "$chmcmd" "$project.hhp") >"$stage/chmcmd.log" 2>&1; then
    cat "$stage/chmcmd.log" >&2
    die "chmcmd failed to compile $project.hhp"
fi

chm=$stage/$chm_name
[ -s "$chm" ] || { cat "$stage/chmcmd.log" >&2; die "chmcmd produced no $chm_name"; }
magic=$(head -c 4 "$chm")
[ "$magic" = ITSF ] || die "$chm_name is not a CHM file (no ITSF signature)"

tmp_out=$out_dir/.$chm_name.$$
cp "$chm" "$tmp_out"
mv -f "$tmp_out" "$out_dir/$chm_name"
printf '%s: wrote %s\n' "$prog" "$out_dir/$chm_name"
