#!/usr/bin/env bash
# Settles a freshly made wine prefix (WINEPREFIX) for the program's tests:
#   cmake/wine-prefix-setup.sh WINE
# Japanese text needs fonts that hold it: the Windows font names the program
# asks for map to the IPA fonts Debian installs.
set -euo pipefail
wine_bin="$1"
key='HKCU\Software\Wine\Fonts\Replacements'
"$wine_bin" reg add "$key" /v "MS UI Gothic" /d IPAGothic /f
"$wine_bin" reg add "$key" /v "MS Gothic" /d IPAGothic /f
"$wine_bin" reg add "$key" /v "MS PGothic" /d IPAPGothic /f
"$wine_bin" reg add "$key" /v "ＭＳ Ｐゴシック" /d IPAPGothic /f
