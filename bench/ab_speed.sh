#!/usr/bin/env bash
# The engine's speed side by side with an older commit (260f3f0 unless given):
# both engines are built (Release, engine only), this tree's bench_cdx and
# bench_handler are compiled against each, and the two builds run in turn,
# five rounds, on the same data. Prints one row per figure of the speed goals
# with the median of each build, the speed-up and the goal, and the natural
# walk against reading the table file in the same run.
#
#   bench/ab_speed.sh [base-commit]
#
# Environment: AB_WORK (scratch folder, default build-ab in this tree),
# AB_BASE_SRC (an existing checkout of the base commit, instead of a worktree
# made under AB_WORK), AB_ROUNDS (default 5), AB_TIME=cpu (compare the
# process's CPU time instead of the wall time: steadier on a busy machine),
# AB_CDX_FILTER / AB_HANDLER_FILTER (run only some benchmarks), TMPDIR (where the
# benchmark tables go: about 1 GB).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BASE=${1:-260f3f0}
WORK=${AB_WORK:-$ROOT/build-ab}
ROUNDS=${AB_ROUNDS:-5}
mkdir -p "$WORK"

BASE_SRC=${AB_BASE_SRC:-$WORK/base-src}
if [ ! -d "$BASE_SRC/engine" ]; then
  git -C "$ROOT" worktree add --detach "$BASE_SRC" "$BASE" >/dev/null
fi

# Engine libraries of one tree, built by its own CMake files.
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
build_engine() {  # source-dir build-dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}" -DQVX_BUILD_APP=OFF \
    -DQVX_BUILD_TESTS=OFF -DQVX_BUILD_BENCH=OFF -DQVX_CHECK_LAYER_LINKS=OFF >/dev/null
  cmake --build "$2" --target devazoz_handler -j2 >/dev/null
}

# This tree's benchmark programs against one engine: its headers come from the
# engine's tree, the benchmarks' own headers from this one.
build_benches() {  # source-dir build-dir out-dir
  local inc="$3/include"
  mkdir -p "$inc"
  ln -sfn "$ROOT/bench" "$inc/bench"
  local libs=("$2/engine/libdevazoz_handler.a" "$2/engine/libdevazoz_index.a"
    "$2/engine/libdevazoz_table.a" "$2/engine/libdevazoz_expressions.a"
    "$2/engine/libdevazoz_foundation.a")
  # The platform services library moved into a folder of its own after 260f3f0.
  local platform
  platform=$(find "$2/platform" -name libqvx_platform.a | head -1)
  libs+=("$platform")
  for b in bench_cdx bench_handler; do
    g++ -std=c++20 -O3 -DNDEBUG -w -I"$inc" -I"$1" "$ROOT/bench/$b.cpp" "${libs[@]}" \
      -lbenchmark -lpthread -o "$3/$b"
  done
}

echo "building $BASE ($BASE_SRC) and this tree ($ROOT)" >&2
build_engine "$BASE_SRC" "$WORK/engine-base"
build_engine "$ROOT" "$WORK/engine-new"
build_benches "$BASE_SRC" "$WORK/engine-base" "$WORK/bin-base"
build_benches "$ROOT" "$WORK/engine-new" "$WORK/bin-new"

CDX_FILTER=${AB_CDX_FILTER:-'BM_(RandomExactSeeks|RandomSeeksReadingRecords|AppendsTitleControlling|BuildTitleTag|BuildCategoryTag)(/|$)'}
HANDLER_FILTER=${AB_HANDLER_FILTER:-'BM_(ReadTableFile|NaturalWalkPeekTitle|NaturalWalkOneField|TitleOrderWalkPeekTitle|BuildFilterSet|ReindexAfterPack|PackTenPercentDeleted)(/|$)'}

OUT="$WORK/results"
rm -rf "$OUT"
mkdir -p "$OUT"
LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
for round in $(seq 1 "$ROUNDS"); do
  # The order alternates, so that neither build always runs on a warmer machine.
  if [ $((round % 2)) -eq 1 ]; then sides="base new"; else sides="new base"; fi
  for side in $sides; do
    echo "round $round: $side (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
    # A filter of "-" leaves the program out.
    if [ "$CDX_FILTER" != - ]; then
      "$WORK/bin-$side/bench_cdx" --benchmark_filter="$CDX_FILTER" --benchmark_format=json \
        >"$OUT/$side.cdx.$round.json" 2>/dev/null
    fi
    if [ "$HANDLER_FILTER" != - ]; then
      "$WORK/bin-$side/bench_handler" --benchmark_filter="$HANDLER_FILTER" \
        --benchmark_format=json >"$OUT/$side.handler.$round.json" 2>/dev/null
    fi
    for f in "$OUT/$side".*."$round".json; do
      [ -s "$f" ] || { echo "no figures in $f" >&2; exit 1; }
    done
  done
done
LOAD_END=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$OUT" "$BASE" "$LOAD_START" "$LOAD_END" "${AB_TIME:-real}" <<'EOF'
import glob, json, statistics, sys

out, base, load_start, load_end, clock = sys.argv[1:6]
field = "cpu_time" if clock == "cpu" else "real_time"
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}

def figures(side):
    """Per benchmark, one figure per program run: its median (repeated
    benchmarks) or its time per iteration, in seconds."""
    runs = {}
    for path in sorted(glob.glob(f"{out}/{side}.*.json")):
        with open(path) as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            name = b.get("run_name", b["name"]).split("/")[0]
            kind = b.get("run_type", "iteration")
            if kind == "aggregate" and b.get("aggregate_name") != "median":
                continue
            if b.get("error_occurred"):
                raise SystemExit(f"{side} {name}: {b.get('error_message')}")
            runs.setdefault((path, name), []).append(b[field] * scale[b["time_unit"]])
    per_name = {}
    for (path, name), values in runs.items():
        per_name.setdefault(name, []).append(statistics.median(values))
    return {name: statistics.median(v) for name, v in per_name.items()}, per_name

old, old_runs = figures("base")
new, new_runs = figures("new")

rows = [
    ("100,000 random exact seeks on TITLE", "BM_RandomExactSeeks", 3.0),
    ("the same seeks, each reading the record", "BM_RandomSeeksReadingRecords", 2.0),
    ("100,000 appends, two tags, TITLE controlling", "BM_AppendsTitleControlling", 1.25),
    ("build the TITLE tag into a new CDX", "BM_BuildTitleTag", 1.3),
    ("build the CATEGORY tag", "BM_BuildCategoryTag", 1.1),
    ("reindex both tags after a pack of 10 %", "BM_ReindexAfterPack", 1.3),
    ("walk in TITLE order reading TITLE", "BM_TitleOrderWalkPeekTitle", 1.5),
    ("natural-order walk reading TITLE", "BM_NaturalWalkPeekTitle", None),
    ("filter count CATEGORY = 'Racing'", "BM_BuildFilterSet", 1.0),
    ("pack, 10 % deleted", "BM_PackTenPercentDeleted", 1.0),
]
print(f"Side by side: {base} (old) and this tree (new), medians of the runs, seconds "
      f"({'CPU' if clock == 'cpu' else 'wall'} time)")
print(f"load average at start {load_start}, at end {load_end}")
print()
w = 46
print(f"{'work on 1,000,000 records':<{w}} {'old':>9} {'new':>9} {'old/new':>8}  goal")
for text, name, goal in rows:
    o, n = old.get(name), new.get(name)
    if o is None or n is None:
        print(f"{text:<{w}} {'-':>9} {'-':>9}")
        continue
    speedup = o / n
    if goal is None:
        if "BM_ReadTableFile" not in new:
            print(f"{text:<{w}} {o:>9.4f} {n:>9.4f} {speedup:>8.2f}")
            continue
        floor_n = new["BM_ReadTableFile"]
        verdict = f"<= 2.0x file read: {n / floor_n:.2f}x " + ("met" if n <= 2 * floor_n else "NOT met")
    elif goal == 1.0:
        verdict = "no slower: " + ("met" if speedup >= 0.97 else "NOT met")
    else:
        verdict = f">= {goal}x: " + ("met" if speedup >= goal else "NOT met")
    print(f"{text:<{w}} {o:>9.4f} {n:>9.4f} {speedup:>8.2f}  {verdict}")
if "BM_ReadTableFile" in old and "BM_NaturalWalkPeekTitle" in old:
    fo, fn = old["BM_ReadTableFile"], new["BM_ReadTableFile"]
    print(f"{'reading the table file (1 MiB reads)':<{w}} {fo:>9.4f} {fn:>9.4f}")
    print(f"natural walk / file read: old {old['BM_NaturalWalkPeekTitle'] / fo:.2f}x, "
          f"new {new['BM_NaturalWalkPeekTitle'] / fn:.2f}x")
if "BM_NaturalWalkOneField" in old:
    o, n = old["BM_NaturalWalkOneField"], new["BM_NaturalWalkOneField"]
    print(f"{'(natural walk copying TITLE out, GetStr)':<{w}} {o:>9.4f} {n:>9.4f} {o / n:>8.2f}")
print()
print("each run's figure (old | new):")
for _, name, _ in rows + [("", "BM_ReadTableFile", None), ("", "BM_NaturalWalkOneField", None)]:
    a = " ".join(f"{v:.4f}" for v in old_runs.get(name, []))
    b = " ".join(f"{v:.4f}" for v in new_runs.get(name, []))
    print(f"  {name}: {a} | {b}")
EOF
