#!/bin/bash
# cli_soak.sh [SECONDS] [BUILD]: dxu-cli measure against dxu-sim with light noise
# between the results and every reply in two pieces, for SECONDS (600); prints
# the results the simulator sent and dxu-cli printed, the memory growth from
# 30 s in to 10 s before the end, and the CPU share of one core meanwhile.
S=${1:-600}
B=${2:-$(dirname "$0")/../build}
SIM=$B/tools/dxu-sim/dxu-sim
CLI=$B/src/dxu-cli
D=$(mktemp -d)
$SIM --noise-bytes 4 --split 2 --split-gap 1 --log $D/log > $D/simout 2>&1 &
SP=$!
for i in $(seq 50); do [ -s $D/simout ] && break; sleep 0.1; done
PORT=$(head -1 $D/simout)
$CLI measure --port $PORT --seconds $S > $D/out 2> $D/err &
CP=$!
rss() { grep VmRSS /proc/$CP/status | awk '{print $2}'; }
cpu() { awk '{print $14+$15}' /proc/$CP/stat; }
sleep 30; R1=$(rss); C1=$(cpu); T1=$(date +%s.%N)
sleep $((S-40)); R2=$(rss); C2=$(cpu); T2=$(date +%s.%N)
wait $CP; RC=$?
kill $SP; wait $SP 2>/dev/null
TICK=$(getconf CLK_TCK)
SENT=$(awk '/ RX \$ST/{exit} / TX \$BM/{n++} END{print n+0}' $D/log)
PRINTED=$(wc -l < $D/out)
echo "exit=$RC seconds=$S sent_before_ST=$SENT printed=$PRINTED lost=$((SENT-PRINTED))"
echo "rss_kb_at_30s=$R1 rss_kb_at_end-10s=$R2 growth_kb=$((R2-R1))"
echo "cpu_percent_of_one_core=$(echo "scale=3; 100*($C2-$C1)/$TICK/($T2-$T1)" | bc)"
tail -2 $D/err
rm -rf "$D"
