# The file version reader against real version resources: those windres
# built into the product's binaries and a system library of the Wine machine.
source "$(dirname "$0")/../lib.sh"

wine_use_shared
run_host version_reader_test.exe
finish
