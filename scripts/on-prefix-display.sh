#!/usr/bin/env bash
# Runs a command on the display that wine_session gave the prefix in WINEPREFIX, if it gave one:
#   bash scripts/on-prefix-display.sh COMMAND [ARGUMENT ...]
set -euo pipefail
if [ -f "$WINEPREFIX/.kv-display" ]; then
    DISPLAY=$(cat "$WINEPREFIX/.kv-display")
    export DISPLAY
fi
exec "$@"
