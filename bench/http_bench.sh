#!/usr/bin/env bash
# Downloads one large file from the stand-in service to disk through our HTTP
# client, through a bare WinHTTP read loop (both under Wine) and with curl,
# round after round, and prints the best and the median of each and their
# ratios. The downloads are deleted as they end.
# Usage: bench/http_bench.sh [megabytes=400] [rounds=3] [http|https]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

megabytes=${1:-400}
rounds=${2:-3}
scheme=${3:-http}
size=$(( megabytes * 1024 * 1024 ))

echo "http_bench: unlike a real run, the file comes from the stand-in on 127.0.0.1 (no"
echo "  network, no proxy), through the HTTP client alone (no charge around it)."

bench_prepare "$@"
bench_start_wine
ov_start_standin
ov_trust_standin_ca

work="$OV_BUILD/bench-http"
mkdir -p "$work"
if [ "$scheme" = https ]; then
  url="https://localhost:$OV_STANDIN_HTTPS/bytes?size=$size"
  curl_tls=(--cacert "$OV_BUILD/standin/certs/ca.pem")
else
  url="http://127.0.0.1:$OV_STANDIN_HTTP/bytes?size=$size"
  curl_tls=()
fi

$WINE64 "$OV_BUILD/x86_64/bench/OvHttpBench.exe" "$url" "$(winepath_of "$work")" "$rounds" \
  </dev/null >"$work/wine.txt"
for _ in $(seq 1 "$rounds"); do
  seconds=$(curl -s "${curl_tls[@]}" -o "$work/curl.bin" -w '%{time_total}' "$url")
  echo "curl $(awk -v s="$seconds" 'BEGIN { printf "%.1f", s * 1000 }') $(stat -c %s "$work/curl.bin")"
done >"$work/curl.txt"
rm -f "$work/curl.bin"

source "$here/rounds.sh"
cat "$work/wine.txt" "$work/curl.txt" >"$work/times.txt"
echo "$scheme download of $megabytes MB to disk:"
bench_summary "$work/times.txt"
bench_ratio "$work/times.txt" "our client / bare WinHTTP loop" ours bare 1.10
bench_ratio "$work/times.txt" "bare WinHTTP loop / curl" bare curl
bench_ratio "$work/times.txt" "our client / curl" ours curl
