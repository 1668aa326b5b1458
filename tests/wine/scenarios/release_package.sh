# no-wine
# The release package of the binaries of this build (scripts/package.sh): its
# name carries the version of resources/version.h, it holds the two binaries
# as built, a text naming the version, every export, the developer kit and
# cvncheck's command line, the kit (header and examples of the tree, import
# libraries of the build), and sums that match; packing the same binaries
# again gives the same zip. (wine.developer_kit builds and runs the kit.)
source "$(dirname "$0")/../lib.sh"

dist=$CVN_OUTPUT_DIR/$CVN_SCENARIO
rm -rf "$dist"
mkdir -p "$dist/unpacked"

version_h=$CVN_SOURCE_DIR/resources/version.h
version=$(sed -n 's/^#define CVN_FILE_VERSION \([0-9, ]*\)$/\1/p' "$version_h" | tr -d ' ' | tr ',' '.')
version_text=$(sed -n 's/^#define CVN_VERSION_TEXT "\(.*\)"$/\1/p' "$version_h")

package() {
  CVN_PACKAGE_BUILD_DIR=$CVN_BUILD_DIR CVN_DIST_DIR=$dist "$CVN_SOURCE_DIR/scripts/package.sh"
}

package_path=$(package)
check_eq "the package is named by the file version" "$dist/cvnunist-$version.zip" "$package_path"
check_eq "the file version reads as four numbers" 1 "$(grep -cE '^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$' <<<"$version")"
kit_texts=(include/cvnunist.h examples/call_check.h examples/call_linked.c examples/call_loaded.c)
kit_libraries=(lib/libcvnunist.a lib/cvnunist.lib)
packed=(CVNUNIST.dll cvncheck.exe README.txt "${kit_texts[@]}" "${kit_libraries[@]}")
check_eq "the package holds the two binaries, the text, the kit and the sums" \
  "$(printf '%s\n' "${packed[@]}" SHA256SUMS)" "$(unzip -Z1 "$package_path")"

unzip -q "$package_path" -d "$dist/unpacked"
for file in CVNUNIST.dll cvncheck.exe; do
  check "the packed $file is the one built" cmp -s "$CVN_BUILD_DIR/$file" "$dist/unpacked/$file"
done
for file in "${kit_libraries[@]}"; do
  check "the packed $file is the one built" cmp -s "$CVN_BUILD_DIR/kit/$file" "$dist/unpacked/$file"
done
for file in "${kit_texts[@]}"; do
  check_eq "the packed $file is the tree's, with Windows line ends" \
    "$(sed 's/$/\r/' "$CVN_SOURCE_DIR/$file" | sha256sum)" "$(sha256sum <"$dist/unpacked/$file")"
done
check_eq "SHA256SUMS names every other file" "$(printf '%s\n' "${packed[@]}")" \
  "$(awk '{ print $2 }' "$dist/unpacked/SHA256SUMS")"
check "every sum matches" sh -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' sh "$dist/unpacked"

readme=$(tr -d '\r' <"$dist/unpacked/README.txt")
check_eq "README.txt opens with the version text" \
  "Corvane environment check and uninstall extension, $version_text" "$(head -n 1 <<<"$readme")"
check_eq "README.txt has Windows line ends" "$(wc -l <"$dist/unpacked/README.txt")" \
  "$(grep -c $'\r$' "$dist/unpacked/README.txt")"
for name in UninstInitialize UninstUnInitialize ValidateEnvironment zrHealthLog zrPortExists \
            inEnsureServiceNotRunning; do
  check "README.txt lists the export $name" grep -qx "  $name" <<<"$readme"
done
check "README.txt tells how to link through the MinGW import library" \
  grep -qxF "    MinGW      gcc -Iinclude app.c -Llib -lcvnunist" <<<"$readme"
check "README.txt tells how to link through the Microsoft import library" \
  grep -qxF "    Microsoft  cl /Iinclude app.c lib\\cvnunist.lib" <<<"$readme"
check "README.txt gives cvncheck's command line" \
  grep -qxF "  cvncheck [-warnings | -errors] [-eventlogs] [-out filename] [-?]" <<<"$readme"

cp "$package_path" "$dist/first.zip"
package >/dev/null
check "packing the same binaries again gives the same zip" cmp -s "$dist/first.zip" "$package_path"
finish
