#!/bin/bash
# Every operation that the public headers declare is called by the API walk: a new public
# operation that the walk does not take fails here.
# Arguments: the walk's source, then the public headers.
set -u
walk=$1
shift
# Declarations start at the line's beginning: a return type, the name and its opening bracket.
names=$(grep -hoE '^(\[\[noreturn\]\] )?(inline )?(const )?[a-z_0-9]+\*? \*?[a-z_0-9]+\(' "$@" |
  sed -E 's/.*[ *]([a-z_0-9]+)\($/\1/' | sort -u)
calls=$(sed 's://.*$::' "$walk")
missing=
for name in $names; do
  grep -qE "(^|[^a-z_0-9])$name\(" <<<"$calls" || missing="$missing $name"
done
if [ -n "$missing" ]; then
  echo "public operations the walk does not call:$missing"
  exit 1
fi
echo "the walk calls all $(echo "$names" | wc -w) public operations"
