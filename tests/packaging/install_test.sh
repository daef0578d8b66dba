#!/usr/bin/env bash
# cmake --install into a fresh prefix: every file lands where the desktops,
# shells and man look for it, the icon's bitmap has its size, and the
# installed program tells the version of the build.
#   install_test.sh BUILD_DIR VERSION APP_ID LIBDIR WITH_GUI WITH_MODULE
set -euo pipefail
build=$1 version=$2 id=$3 libdir=$4 gui=$5 module=$6
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

wanted=(bin/mailsift share/man/man1/mailsift.1.gz
        share/bash-completion/completions/mailsift share/zsh/vendor-completions/_mailsift
        share/fish/vendor_completions.d/mailsift.fish)
[[ $module == ON ]] && wanted+=("$libdir/mailsift/mailsift-decoders.so")
[[ $gui == ON ]] && wanted+=(bin/mailsift-gui share/man/man1/mailsift-gui.1.gz
                             "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
                             "share/icons/hicolor/scalable/apps/$id.svg" "share/icons/hicolor/256x256/apps/$id.png")
failures=0
for file in "${wanted[@]}"; do
  [[ -s $prefix/$file ]] || { echo "FAILED: not installed: $file"; failures=$((failures + 1)); }
done
if [[ $gui == ON ]]; then
  size=$(file -b "$prefix/share/icons/hicolor/256x256/apps/$id.png")
  [[ $size == *"256 x 256"* ]] || { echo "FAILED: the icon's bitmap is $size"; failures=$((failures + 1)); }
fi
first=$("$prefix/bin/mailsift" --version | head -n 1)
[[ $first == "mailsift $version" ]] || { echo "FAILED: --version says '$first'"; failures=$((failures + 1)); }
zcat "$prefix/share/man/man1/mailsift.1.gz" | grep -q "^\.TH MAILSIFT 1 .*\"mailsift $version\"" ||
  { echo "FAILED: the manual page does not name version $version"; failures=$((failures + 1)); }
((failures == 0))
