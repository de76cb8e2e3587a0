#!/usr/bin/env bash
# Installs what is needed, builds, makes a damaged sample database with the
# project's own tools, repairs it with `tessaly repair`, and shows the result.
#   1. make_sample_db writes a Jet 4 database (Customers, Products, Orders)
#      with our own writer and marks one Orders row deleted as Access does;
#   2. mdb_damage zeroes the catalog's definition page (page 2), so the
#      tables can only be found on the raw pages;
#   3. tessaly analyse and tessaly repair read the damaged copy;
#   4. the repaired database is listed with mdbtools, an independent reader.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
echo "== build"
bash scripts/build.sh build >/dev/null

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/out"
sample="$demo/sample.mdb"
damaged="$demo/damaged.mdb"
build/tests/make_sample_db "$sample"
build/tests/mdb_damage zero-catalog 1 "$sample" "$damaged"

echo
echo "== the sample before damage, as mdbtools sees it (one Orders row is deleted)"
while IFS= read -r table; do
  rows=$(mdb-export "$sample" "$table" | tail -n +2 | grep -c '^[0-9]' || true)
  printf '  %-10s %s rows\n' "$table" "$rows"
done < <(mdb-tables -1 "$sample")

echo
echo "== after zeroing its catalog page, as mdbtools sees it"
if mdb-tables -1 "$damaged" >"$demo/tables.txt" 2>/dev/null && [ -s "$demo/tables.txt" ]; then
  cat "$demo/tables.txt"
else
  echo "(mdbtools lists no tables: the catalog definition is gone)"
fi

echo
echo "== tessaly analyse"
build/src/tessaly analyse --log "$demo/activity.log" "$damaged"

echo "== tessaly repair"
build/src/tessaly repair --out "$demo/out" --log "$demo/activity.log" "$damaged"

repaired=$(find "$demo/out" -name damaged.mdb | head -n 1)
echo
echo "== the repaired database ($repaired), as mdbtools sees it"
while IFS= read -r table; do
  rows=$(mdb-export "$repaired" "$table" | tail -n +2 | grep -c '^[0-9]' || true)
  printf '  %-10s %s rows\n' "$table" "$rows"
done < <(mdb-tables -1 "$repaired")
echo
echo "First Orders rows:"
mdb-export "$repaired" Orders | head -n 4 | cut -c1-80
echo
echo "Activity log: $demo/activity.log"
