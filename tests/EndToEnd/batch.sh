# The batch tools over a folder of short videos and one file that is no video: each video's results are
# the bytes a windowless run of the program on that video alone writes, from the same am.dat, which the
# batch leaves as it is; the broken file is reported, the others go on and the exit status says one
# failed. A second run skips what is complete and --force redoes it; a stopped batch leaves nothing that
# looks finished; the shards 1/3 to 3/3 together take every video exactly once.
source "$(dirname "$0")/lib.sh"
unset DISPLAY

mkdir videos solo long
for seed in 1 2 3; do
    make_video videos/clip$seed.avi --frames 20 --seed "$seed" >/dev/null
    cp videos/clip$seed.avi solo/
done
echo "not a video" >videos/broken.avi
"$TEACHER" videos/clip1.avi videos/clip1.csv am.dat --frames 20 --every 2 >/dev/null || fail "cannot train am.dat"
memory=$(md5sum <am.dat)

cd solo
for seed in 1 2 3; do
    cp ../am.dat .
    run Lanescope clip$seed.avi /r
    run Quadfinder clip$seed.avi /r
done
cd ..

run LanescopeBatch --out results videos
expect_eq "a batch with a broken video: exit code" "$RC" 1
expect_contains "the failure report" "$ERR" "videos/broken.avi: failed: cannot be opened"
expect_contains "the summary" "$OUT" "4 videos: 3 done, 0 skipped, 1 failed"
expect_eq "am.dat after the batch" "$(md5sum <am.dat)" "$memory"
run QuadfinderBatch --out results --record --workers 3 videos
for seed in 1 2 3; do
    cmp -s results/clip${seed}_tracks.txt solo/clip${seed}_tracks.txt || fail "clip$seed: the tracks differ"
    cmp -s results/clip${seed}_squares.csv solo/clip${seed}_squares.csv || fail "clip$seed: the squares differ"
    cmp -s <(ffmpeg -v error -i results/clip${seed}_out.avi -f framemd5 - | grep -v '^#') \
        <(ffmpeg -v error -i solo/clip${seed}_out.avi -f framemd5 - | grep -v '^#') ||
        fail "clip$seed: the recordings' frames differ"
done

run LanescopeBatch --out results videos
expect_contains "a second run" "$OUT" "4 videos: 0 done, 3 skipped, 1 failed"
run LanescopeBatch --out results --force videos
expect_contains "a forced run" "$OUT" "4 videos: 3 done, 0 skipped, 1 failed"

make_video long/long.avi --frames 300 >/dev/null
start LanescopeBatch long
for _ in $(seq 300); do
    compgen -G "long/long.unfinished_*" >/dev/null && break
    sleep 0.1
done
kill -TERM "$STARTED_PID"
wait_exit 60
expect_eq "a stopped batch: exit code" "$RC" 130
[ ! -e long/long_tracks.txt ] || fail "a stopped video left results that look finished"
run LanescopeBatch long
expect_contains "the stopped video run again" "$OUT" "1 videos: 1 done"

for shard in 1 2 3; do
    run QuadfinderBatch --force --out shards --shard $shard/3 videos
    grep '^videos/' out.txt | cut -d' ' -f1
done | sort | uniq -c >taken.txt
expect_eq "videos the three shards took, and how often" "$(awk '{print $1, $2}' taken.txt | tr '\n' ' ')" \
    "1 videos/broken.avi 1 videos/clip1.avi 1 videos/clip2.avi 1 videos/clip3.avi "
finish
