#!/bin/sh
# Fails if an engine source includes a header from outside engine/: the
# engine knows no host, no settings record and neither of the tools.
# Usage: check-includes.sh ENGINE_DIR
set -eu
found=$(grep -rn --include=*.h --include=*.cpp '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$1" |
  grep -v '#[[:space:]]*include[[:space:]]*"engine/' || true)
if [ -n "$found" ]; then
  echo "the engine includes headers from outside engine/:" >&2
  printf '%s\n' "$found" >&2
  exit 1
fi
