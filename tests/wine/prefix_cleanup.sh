# CTest fixture: stops the Wine servers of this run.
source "$(dirname "$0")/lib.sh"

for prefix in "$CVN_SHARED_PREFIX" "$CVN_PRISTINE_DIR"/*; do
  if [[ -f $prefix/system.reg ]]; then WINEPREFIX=$prefix wine_server_stop; fi
done
