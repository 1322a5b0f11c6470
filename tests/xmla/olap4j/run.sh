#!/usr/bin/env bash
# Compiles the olap4j client check, starts orvex-server on a free loopback
# port over the test catalogs, and runs the check against it.
# Usage: run.sh BIN-DIR CATALOGS-DIR CLASSES-DIR
set -euo pipefail
bin=$1 catalogs=$2 classes=$3
here=$(cd "$(dirname "$0")" && pwd)
jars=/usr/share/java/olap4j.jar:/usr/share/java/olap4j-xmla.jar:/usr/share/java/xercesImpl.jar

rm -rf "$classes"
mkdir -p "$classes"
javac -nowarn -encoding UTF-8 -cp "$jars" -d "$classes" \
  "$here"/org/olap4j/driver/xmla/FactoryJdbc4Plus.java "$here"/OlapClientCheck.java "$here"/Statements.java 2>&1 |
  grep -v '^Note:' || true

log=$(mktemp)
"$bin/orvex-server" --port 0 --catalogs "$catalogs" --web-root "$here/../../../web" >"$log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 100); do
  grep -q 'serving' "$log" && break
  sleep 0.1
done
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$log" | head -1)
[ -n "$port" ] || { echo "orvex-server did not start:"; cat "$log"; exit 1; }

# Our stand-in comes first on the class path: the driver's jar lacks the class.
java -cp "$classes:$jars" OlapClientCheck "http://127.0.0.1:$port/xmla" "$bin/orvex-mdx" "$catalogs" Sample
