# CVNUNIST.dll loaded the way its callers load it: the six exports by name,
# the message catalog through LoadStringA, the version strings.
source "$(dirname "$0")/../lib.sh"

wine_use_shared
run_host wine_dll_test.exe
finish
