#!/usr/bin/env bash
# Prints the markdown rows that describe this machine, for the pages of figures.
# Usage: scripts/machine-table.sh LOAD_BEFORE LOAD_AFTER
set -euo pipefail
cat <<EOF2
| | |
|---|---|
| CPUs (nproc) | $(nproc) |
| CPU | $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo) |
| Memory | $(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) |
| Wine | $(/usr/lib/wine/wine64 --version) |
| Kernel | $(uname -sr) |
| Load average (1, 5, 15 min) before / after | $1 / $2 |
EOF2
