# CTest fixture: the Wine machines of this run. A template prefix, made fresh
# and left stopped (scenarios copy it for a pristine machine), and the shared
# prefix the scenarios use, a copy of it.
source "$(dirname "$0")/lib.sh"

for prefix in "$CVN_SHARED_PREFIX" "$CVN_TEMPLATE_PREFIX" "$CVN_PRISTINE_DIR"/*; do
  if [[ -f $prefix/system.reg ]]; then WINEPREFIX=$prefix wine_server_stop; fi
done
rm -rf "$CVN_TEMPLATE_PREFIX" "$CVN_SHARED_PREFIX" "$CVN_PRISTINE_DIR"

export WINEPREFIX=$CVN_TEMPLATE_PREFIX
wine_run wineboot wineboot -i
wine_server_stop  # saves the registry
if [[ $WINE_RC != 0 || ! -f $WINEPREFIX/system.reg ]]; then
  echo "wineboot -i failed (exit code $WINE_RC):"
  cat "$WINE_OUT" "$WINE_ERR"
  exit 1
fi
cp -a "$CVN_TEMPLATE_PREFIX" "$CVN_SHARED_PREFIX"
echo "Wine prefixes ready in $CVN_WINE_DIR ($(wine --version))"
