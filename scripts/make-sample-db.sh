#!/usr/bin/env bash
# Builds Firebird's EMPLOYEE example database into DIR (default: build/sample) with the embedded
# engine, once: a database that is already there and opens is kept. Prints the file's path.
set -euo pipefail
dir=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/sample}
src=/usr/share/doc/firebird3.0-common-doc/examples/employee.sql.gz
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
db="$dir/employee.fdb"

if [ -s "$db" ]; then
  if check=$(echo "select count(*) from rdb\$database;" | isql-fb -q "$db" 2>&1); then
    echo "$db"
    exit 0
  fi
  # Held open by another program (the embedded engine opens a file for one process): it is
  # there and fine, and replacing it would pull it from under that program.
  case $check in
  *"already opened"* | *"lock"* | *"in use"*)
    echo "$db"
    exit 0
    ;;
  esac
fi
if [ ! -r "$src" ]; then
  echo "The EMPLOYEE script $src is missing (package firebird3.0-examples)." >&2
  exit 1
fi

# Build beside the target and rename at the end, so an interrupted run leaves no half database.
work=$(mktemp -d "$dir/.employee.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && zcat "$src" | isql-fb -q -b >"$work/isql.log" 2>&1) || {
  echo "Creating the EMPLOYEE database failed:" >&2
  cat "$work/isql.log" >&2
  exit 1
}
mv -f "$work/employee.fdb" "$db"
echo "$db"
