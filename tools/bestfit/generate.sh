#!/bin/sh
# Regenerates the best-fit fixes of the code-page converters from a folder of
# Microsoft's "bestfitNNN.txt" tables, then checks the rebuilt converters
# against the same tables.
#   tools/bestfit/generate.sh /path/to/windows-bestfit
set -eu
tables=${1:?usage: generate.sh FOLDER-WITH-bestfitNNN.txt}
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/tools"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUILLMARK_BUILD_TOOLS=ON -DQUILLMARK_BUILD_TESTS=OFF -DQUILLMARK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target bestfit
"$build/tools/bestfit/bestfit" generate "$tables" >"$build/BestFitTables.inc"
mv "$build/BestFitTables.inc" "$root/src/core/base/BestFitTables.inc"
cmake --build "$build" --target bestfit
"$build/tools/bestfit/bestfit" verify "$tables"
