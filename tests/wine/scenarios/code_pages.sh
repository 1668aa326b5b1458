# Japanese, Chinese, Korean, Taiwanese and German machines: Wine takes the
# ANSI code page (932, 936, 949, 950, 1252) and the system's language from the
# Unix locale, which is made here when the machine lacks it. On each, a fresh
# machine of its own runs the code-page conformance cases, the uninstall with
# an installation directory named in that code page, the full report with
# configured paths, registry names and values and its output file named in
# it, and the validation with a target of such a name. Every report must read
# back whole in its code page, and the system's own texts (the date) come in
# the system's language.
source "$(dirname "$0")/../lib.sh"

declare -A code_pages=([ja_JP]=932 [zh_CN]=936 [ko_KR]=949 [zh_TW]=950 [de_DE]=1252)
declare -A encodings=([ja_JP]=CP932 [zh_CN]=GBK [ko_KR]=CP949 [zh_TW]=CP950 [de_DE]=CP1252)
# Names whose last character has the backslash's byte as its second byte
# (none in 949 and 1252), and a word the long date holds in that language.
declare -A names=([ja_JP]=一覧表 [zh_CN]=一览乗 [ko_KR]=한글 [zh_TW]=許功 [de_DE]=Prüfung)
declare -A date_words=([ja_JP]=年 [zh_CN]=年 [ko_KR]=년 [zh_TW]=年 [de_DE]="(Montag|Dienstag|Mittwoch|Donnerstag|Freitag|Samstag|Sonntag)")

have_locale() { locale -a 2>/dev/null | grep -qix "$1.utf-\?8"; }

for locale in ja_JP zh_CN ko_KR zh_TW de_DE; do
  have_locale "$locale" || localedef -i "$locale" -f UTF-8 "$locale.UTF-8" >/dev/null 2>&1 || true
  if ! check "locale $locale.UTF-8 is available" have_locale "$locale"; then continue; fi
  export LANG=$locale.UTF-8 LC_ALL=$locale.UTF-8
  wine_use_pristine "code_pages.$locale"
  wine_run "cases.$locale" "$CVN_BUILD_DIR/conformance.exe" area "code page"
  cases=$(tr -d '\r' <"$WINE_OUT")
  grep -v '^PASS ' <<<"$cases" || true
  check "$locale: the code-page cases ran to their summary" grep -q '^conformance both: ' <<<"$cases"
  check "$locale: no code-page case failed" test "$(grep -c '^FAIL both ' <<<"$cases")" = 0
  run_host uninstall_e2e.exe double-byte -a -f"C:\\x\\DeIsL1.isu"
  check_eq "$locale: code page" "code page ${code_pages[$locale]}" \
    "$(tr -d '\r' <"$WINE_OUT" | grep -o '^code page [0-9]*')"

  # The report: the product's key and a key of its own, in the code page.
  name=${names[$locale]}
  encoding=${encodings[$locale]}
  mkdir -p "$WINEPREFIX/drive_c/$name"
  reg=$CVN_OUTPUT_DIR/$CVN_SCENARIO.$locale.reg
  { printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora Software\\Corvane\\1.5]\r\n'
    printf '"InstallationDirectory"="C:\\\\%s\\\\"\r\n"JournalRoot"="C:\\\\%s\\\\Journal"\r\n' "$name" "$name"
    printf '\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora Software\\%s]\r\n"%s"="%s"\r\n' "$name" "$name" "$name"
  } | iconv -f UTF-8 -t "$encoding" >"$reg"
  wine_run "import.$locale" regedit /S "$reg"
  check_eq "$locale: keys imported" 0 "$WINE_RC"
  wine_run "report.$locale" "$CVN_BUILD_DIR/cvncheck.exe" -out "C:\\$name\\report.txt"
  report=$WINEPREFIX/drive_c/$name/report.txt
  check "$locale: the report went to the file its name gives" test -f "$report"
  check "$locale: the report reads whole in $encoding" iconv -f "$encoding" -t UTF-8 -o /dev/null "$report"
  text=$(iconv -f "$encoding" -t UTF-8 "$report" 2>/dev/null | tr -d '\r') || true
  check "$locale: the key is dumped by its name" grep -qF "Values for key: Software\\Velmora Software\\$name" <<<"$text"
  check "$locale: the value's name and data" grep -qxF "               $name:     $name" <<<"$text"
  check "$locale: the missing journal directory" grep -qF "C:\\$name\\Journal" <<<"$text"
  check "$locale: the date in the system's language" grep -qE "${date_words[$locale]}" <<<"$text"

  validation=$WINEPREFIX/drive_c/$name/validate.txt
  wine_run "validate.$locale" "$CVN_BUILD_DIR/call_export.exe" ValidateEnvironment 1 0 \
    "C:\\$name\\validate.txt" "$name.invalid " CVNUNIST.dll
  check "$locale: the validation reads whole in $encoding" iconv -f "$encoding" -t UTF-8 -o /dev/null "$validation"
  check "$locale: the target is named" grep -qF ": $name.invalid" \
    <<<"$(iconv -f "$encoding" -t UTF-8 "$validation" 2>/dev/null | tr -d '\r')"
  wine_server_stop
done
finish
