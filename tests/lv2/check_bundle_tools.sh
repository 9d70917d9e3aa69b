#!/usr/bin/env bash
# The bundle through the command-line tools: serdi parses both files strictly,
# and lv2info, finding the bundle on LV2_PATH, lists the plug-in with all its
# ports.   check_bundle_tools.sh BUNDLE-DIR URI NUMBER-OF-PORTS
set -euo pipefail
bundle=$1 uri=$2 ports=$3
for f in manifest.ttl zrv4.ttl; do
  serdi -q -i turtle -o ntriples "$bundle/$f" >/dev/null
done
out=$(LV2_PATH="$(dirname "$bundle")" lv2info "$uri")
grep -Eq '^\s*Name:\s+ZRV4$' <<<"$out" || { echo "lv2info shows no plug-in named ZRV4"; exit 1; }
found=$(grep -Ec '^\s*Port [0-9]+:' <<<"$out")
[ "$found" -eq "$ports" ] || { echo "lv2info lists $found ports, expected $ports"; exit 1; }
