# Japanese, Chinese, Korean, Taiwanese and German machines: Wine takes the
# ANSI code page (932, 936, 949, 950, 1252) and the system's language from the
# Unix locale, which is made here when the machine lacks it. On each, a fresh
# machine of its own runs the code-page conformance cases and the uninstall
# with an installation directory named in that code page.
source "$(dirname "$0")/../lib.sh"

declare -A code_pages=([ja_JP]=932 [zh_CN]=936 [ko_KR]=949 [zh_TW]=950 [de_DE]=1252)

have_locale() { locale -a 2>/dev/null | grep -qix "$1.utf-\?8"; }

for name in ja_JP zh_CN ko_KR zh_TW de_DE; do
  have_locale "$name" || localedef -i "$name" -f UTF-8 "$name.UTF-8" >/dev/null 2>&1 || true
  if ! check "locale $name.UTF-8 is available" have_locale "$name"; then continue; fi
  export LANG=$name.UTF-8 LC_ALL=$name.UTF-8
  wine_use_pristine "code_pages.$name"
  wine_run "cases.$name" "$CVN_BUILD_DIR/conformance.exe" area "code page"
  cases=$(tr -d '\r' <"$WINE_OUT")
  grep -v '^PASS ' <<<"$cases" || true
  check "$name: the code-page cases ran to their summary" grep -q '^conformance both: ' <<<"$cases"
  check "$name: no code-page case failed" test "$(grep -c '^FAIL both ' <<<"$cases")" = 0
  run_host uninstall_e2e.exe double-byte -a -f"C:\\x\\DeIsL1.isu"
  check_eq "$name: code page" "code page ${code_pages[$name]}" \
    "$(tr -d '\r' <"$WINE_OUT" | grep -o '^code page [0-9]*')"
  wine_server_stop
done
finish
