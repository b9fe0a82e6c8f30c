#!/bin/sh
# Fails if a source of the velto tool includes a header from a layer it must
# not reach. From the bottom:
#   limits/        the tools' frame limits: includes nothing of ours
#   cli/formats/   pictures (PNG, JPEG, WebP, Netpbm), names, size rule: limits/
#   cli/io/        input, output, signal cleanup, ordered work: engine/ types
#   cli/jobs/      one file per kind of job, and what they print: formats,
#                  io, the engine, and the options they run on
#   cli/video/     velto video, a job with a folder of its own: as cli/jobs/
#   cli/           main, options and their arguments, help: everything above
# cli/status.h, the outcome of a step, is open to every cli layer. formats/
# and io/ do not reach each other.
# Usage: check-layers.sh SOURCE_DIR
set -eu
src=$1
status=0

# check FOLDER ALLOWED: ALLOWED is an extended regular expression that every
# quoted include of the folder's own files (not its subfolders') must match.
check() {
  files=$(find "$src/$1" -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \) | sort)
  [ -n "$files" ] || { echo "no sources in $1" >&2; status=1; return; }
  # shellcheck disable=SC2086
  found=$(grep -H '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' $files |
    grep -Ev "#[[:space:]]*include[[:space:]]*\"($2)" || true)
  if [ -n "$found" ]; then
    echo "$1 includes headers outside its layer:" >&2
    printf '%s\n' "$found" | sed "s|^$src/||" >&2
    status=1
  fi
}

# A new folder of the tool gets a line below: its place among the layers.
for dir in "$src"/cli/*/; do
  case $(basename "$dir") in
    formats | io | jobs | video) ;;
    *) echo "cli/$(basename "$dir")/ has no layer in check-layers.sh" >&2; status=1 ;;
  esac
done

check limits '$^'
check cli/formats 'cli/formats/|cli/status\.h|limits/'
check cli/io 'cli/io/|cli/status\.h|engine/'
check cli/jobs 'cli/jobs/|cli/formats/|cli/io/|cli/options\.h|cli/arguments\.h|cli/status\.h|engine/'
if [ -d "$src/cli/video" ]; then
  check cli/video 'cli/video/|cli/jobs/|cli/formats/|cli/io/|cli/options\.h|cli/arguments\.h|cli/status\.h|engine/'
fi
check cli 'cli/|engine/|limits/'

# Within formats/, the codecs sit below the dispatcher: only image.cpp (and
# the layers above) may include image.h, so no codec reaches back into it.
circle=$(grep -l '^[[:space:]]*#[[:space:]]*include[[:space:]]*"cli/formats/image\.h"' \
  "$src"/cli/formats/*.h "$src"/cli/formats/*.cpp | grep -v '/image\.cpp$' || true)
if [ -n "$circle" ]; then
  echo "cli/formats codecs include the dispatcher:" >&2
  printf '%s\n' "$circle" | sed "s|^$src/||" >&2
  status=1
fi
exit $status
