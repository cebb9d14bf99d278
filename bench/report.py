#!/usr/bin/env python3
"""Turns the raw figures of run_bench.sh into medians, paired ratios and the
goals' verdicts: a table on stdout, the same table in a text file and every
figure in a JSON file.

   report.py RAW_DIR RESULTS_TXT RESULTS_JSON

A paired ratio is the median of the per-round ratios setup/NSIS: both ran in
the same round, next to each other, so a slow moment of the machine shows in
both and cancels instead of landing in one column.
"""
import json
import os
import statistics
import sys

# The goals, each as (figure, limit, how the ratio must compare).
TIME_RATIO_MAX = 0.15
MEMORY_RATIO_MAX = 0.5
SIZE_OVER_PACKAGE_MAX = 128 * 1024
WALK_VS_NFTW_MIN = 0.5
WALK_VS_NSIS_MIN = 100.0
GOAL_TREE = 100000


def read_rows(path):
    if not os.path.exists(path):
        return []
    rows = []
    for line in open(path):
        fields = line.split()
        if fields:
            rows.append(fields)
    return rows


def median(values):
    return statistics.median(values) if values else None


def paired(a, b):
    return [x / y for x, y in zip(a, b) if y]


def spread(values):
    return [min(values), max(values)] if values else None


def main():
    raw, txt_path, json_path = sys.argv[1:4]
    meta = json.load(open(os.path.join(raw, "meta.json")))
    results = {"meta": meta}
    lines = []
    out = lines.append

    # Whole run.
    whole = {}
    for name in ("setup", "nsis", "trivial"):
        rows = read_rows(os.path.join(raw, "whole_%s.txt" % name))
        bad = [r for r in rows if r[2] != "0"]
        if bad:
            print("warning: %s exited non-zero in %d runs" % (name, len(bad)), file=sys.stderr)
        whole[name] = {
            "seconds": [float(r[0]) for r in rows],
            "peak_kib": [int(r[1]) for r in rows],
        }
    s, n, t = whole["setup"], whole["nsis"], whole["trivial"]
    time_ratio = median(paired(s["seconds"], n["seconds"]))
    memory_ratio = median(paired(s["peak_kib"], n["peak_kib"]))
    # Above the floor: what each installer costs beyond starting a program
    # that does nothing, paired the same way.
    net_time_ratio = median(paired([a - c for a, c in zip(s["seconds"], t["seconds"])],
                                   [b - c for b, c in zip(n["seconds"], t["seconds"])]))
    net_memory_ratio = median(paired([a - c for a, c in zip(s["peak_kib"], t["peak_kib"])],
                                     [b - c for b, c in zip(n["peak_kib"], t["peak_kib"])]))
    results["whole_run"] = {
        name: {
            "seconds_median": median(v["seconds"]),
            "seconds_min_max": spread(v["seconds"]),
            "peak_kib_median": median(v["peak_kib"]),
            "peak_kib_min_max": spread(v["peak_kib"]),
            "seconds": v["seconds"],
            "peak_kib": v["peak_kib"],
        } for name, v in whole.items()
    }
    results["whole_run"]["time_ratio_paired"] = time_ratio
    results["whole_run"]["memory_ratio_paired"] = memory_ratio
    results["whole_run"]["time_ratio_above_trivial"] = net_time_ratio
    results["whole_run"]["memory_ratio_above_trivial"] = net_memory_ratio

    package = meta["package_size"]
    setup_over = meta["setup_size"] - package
    nsis_over = meta["nsis_size"] - package
    results["size"] = {
        "package": package,
        "setup_exe": meta["setup_size"],
        "nsis_exe": meta["nsis_size"],
        "setup_minus_package": setup_over,
        "nsis_minus_package": nsis_over,
        "ratio": setup_over / nsis_over,
    }

    # Size walk.
    walks = {}
    checks = []
    for size in meta["sizes"]:
        setup_rows = read_rows(os.path.join(raw, "walk_%d_setup.txt" % size))
        nftw_rows = read_rows(os.path.join(raw, "walk_%d_nftw.txt" % size))
        nsis_rows = read_rows(os.path.join(raw, "walk_%d_nsis.txt" % size))
        setup_rate = [size / float(r[0]) for r in setup_rows]
        nftw_rate = [size / float(r[0]) for r in nftw_rows]
        nsis_seconds = [(int(r[1]) - int(r[0])) / int(r[2]) for r in nsis_rows]
        nsis_rate = [size / x for x in nsis_seconds]
        kib = {
            "setup": sorted({int(r[1]) for r in setup_rows}),
            "nftw": sorted({int(r[1]) for r in nftw_rows}),
            "nsis": sorted({int(r[3]) for r in nsis_rows}),
        }
        counted = sorted({int(r[2]) for r in nftw_rows} | {int(r[4]) for r in nsis_rows})
        agree = len({tuple(v) for v in kib.values()}) == 1 and counted == [size]
        checks.append((size, agree, kib, counted))
        walks[size] = {
            "setup_files_per_s": setup_rate,
            "nsis_files_per_s": nsis_rate,
            "nftw_files_per_s": nftw_rate,
            "setup_median": median(setup_rate),
            "nsis_median": median(nsis_rate),
            "nftw_median": median(nftw_rate),
            "setup_vs_nsis_paired": median(paired(setup_rate, nsis_rate)),
            "setup_vs_nftw_paired": median(paired(setup_rate, nftw_rate)),
            "nsis_seconds": nsis_seconds,
            "kib": kib,
            "sums_agree": agree,
        }
    results["size_walk"] = {str(k): v for k, v in walks.items()}

    # Goals.
    goal_walk = walks.get(GOAL_TREE)
    goals = [
        ("whole silent run <= %.2f x NSIS" % TIME_RATIO_MAX, time_ratio,
         time_ratio is not None and time_ratio <= TIME_RATIO_MAX),
        ("peak memory <= %.2f x NSIS" % MEMORY_RATIO_MAX, memory_ratio,
         memory_ratio is not None and memory_ratio <= MEMORY_RATIO_MAX),
        ("exe minus package <= %d KiB" % (SIZE_OVER_PACKAGE_MAX // 1024), setup_over,
         setup_over <= SIZE_OVER_PACKAGE_MAX),
    ]
    if goal_walk:
        goals += [
            ("walk at %d files >= %.1f x nftw" % (GOAL_TREE, WALK_VS_NFTW_MIN),
             goal_walk["setup_vs_nftw_paired"],
             goal_walk["setup_vs_nftw_paired"] >= WALK_VS_NFTW_MIN),
            ("walk at %d files >= %d x NSIS ${GetSize}" % (GOAL_TREE, WALK_VS_NSIS_MIN),
             goal_walk["setup_vs_nsis_paired"],
             goal_walk["setup_vs_nsis_paired"] >= WALK_VS_NSIS_MIN),
        ]
    results["goals"] = [{"goal": g, "value": v, "met": m} for g, v, m in goals]

    # The table.
    out("Vespodar update against NSIS (%s) under %s, display: %s, %d CPUs" %
        (meta["makensis"], meta["wine"], meta["display"], meta["cpus"]))
    out("measured: %s" % meta.get("kind", "32-bit"))
    out("machine: %s" % meta.get("machine", "?"))
    out("setup: %s" % meta["setup_exe"])
    out("load average before %s, after %s; other Wine servers running: %d"
        % (meta["load_before"], meta["load_after"], meta["other_wineservers"]))
    out("prepared installation: Vespodar.exe, uninst.exe, %d data files, an older vdq2.cok"
        % meta["product_files"])
    out("")
    out("Whole silent run, %d interleaved rounds, warm wineserver (medians)" % meta["rounds"])
    out("  %-26s %12s %12s %12s %10s" % ("", "setup", "NSIS", "setup/NSIS", "trivial"))
    out("  %-26s %12.4f %12.4f %12.3f %10.4f" %
        ("wall time (s)", median(s["seconds"]), median(n["seconds"]), time_ratio,
         median(t["seconds"])))
    out("  %-26s %12d %12d %12.3f %10d" %
        ("peak memory (KiB)", median(s["peak_kib"]), median(n["peak_kib"]), memory_ratio,
         median(t["peak_kib"])))
    out("  %-26s %12s %12s %12.3f" % ("time above trivial", "", "", net_time_ratio))
    out("  %-26s %12s %12s %12.3f" % ("memory above trivial", "", "", net_memory_ratio))
    out("")
    out("Executable size (bytes)")
    out("  %-26s %12s %12s %12s" % ("", "setup", "NSIS", "setup/NSIS"))
    out("  %-26s %12d %12d" % ("executable", meta["setup_size"], meta["nsis_size"]))
    out("  %-26s %12d %12d %12.3f" % ("minus package (%d)" % package, setup_over, nsis_over,
                                       setup_over / nsis_over))
    out("")
    out("Size walk inside the process, files per second (medians; rounds: setup and nftw %d,"
        " NSIS %s)" % (meta["walk_rounds"], meta["nsis_walk_rounds"]))
    out("  %-10s %12s %12s %12s %12s %12s" %
        ("files", "setup", "NSIS", "nftw", "setup/NSIS", "setup/nftw"))
    for size in meta["sizes"]:
        w = walks[size]
        def fmt(x, spec="%12.0f"):
            return spec % x if x is not None else "%12s" % "-"
        out("  %-10s %s %s %s %s %s" %
            ("{:,}".format(size), fmt(w["setup_median"]), fmt(w["nsis_median"]),
             fmt(w["nftw_median"]), fmt(w["setup_vs_nsis_paired"], "%12.1f"),
             fmt(w["setup_vs_nftw_paired"], "%12.3f")))
    for size, agree, kib, counted in checks:
        if not agree:
            out("  WARNING: the walks of %d files disagree: KiB %s, files counted %s"
                % (size, kib, counted))
    out("")
    out("Goals")
    for goal, value, met in goals:
        shown = "%d" % value if isinstance(value, int) else ("%.3f" % value if value is not None else "-")
        out("  %-44s %12s  %s" % (goal, shown, "met" if met else "MISSED"))

    text = "\n".join(lines) + "\n"
    sys.stdout.write(text)
    open(txt_path, "w").write(text)
    json.dump(results, open(json_path, "w"), indent=1)
    print("\nFigures: %s and %s" % (txt_path, json_path))


if __name__ == "__main__":
    main()
