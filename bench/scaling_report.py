#!/usr/bin/env python3
"""The table of bench/run_scaling.sh: for each package size the medians of the
setup's, NSIS's, the floor's and the trivial program's wall time and peak
memory, the ratios, and whether each goal was met.

Usage: scaling_report.py RAW_DIR RESULTS.txt RESULTS.json
RAW_DIR holds meta.json and one folder per size (MiB) with setup.txt,
nsis.txt, floor.txt and trivial.txt: one line per run, "seconds maxrss_kib
status" (run_measure.c)."""
import json
import os
import statistics
import sys

# The goals, as ratios within one run.
FLOOR_FROM_MIB = 64        # the setup within 1.5 x the floor from this size on
FLOOR_RATIO = 1.5
MEMORY_ABOVE_MIB = 8.0     # the setup's peak above the trivial program's, at every size
NSIS_RATIO = 1.0           # faster than NSIS at every size


def runs(path):
    rows = []
    with open(path) as f:
        for line in f:
            seconds, kib, status = line.split()
            if int(status) != 0:
                sys.exit(f"{path}: a run exited with {status}")
            rows.append((float(seconds), int(kib)))
    return rows


def main() -> int:
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    raw, text_out, json_out = sys.argv[1:]
    meta = json.load(open(os.path.join(raw, "meta.json")))
    lines = []
    out = lines.append
    out(f"Scaling with the package, {meta['date']}; {meta['kind']}")
    out(f"machine: {meta['machine']}; {meta['wine']}, NSIS {meta['makensis']}")
    out(f"load average before {meta['load_before']}, after {meta['load_after']}; "
        f"other Wine servers: {meta['other_wineservers']}; {meta['rounds']} rounds, medians")
    out("")
    out("| package | setup | NSIS | floor | trivial | setup / floor | setup / NSIS "
        "| setup's peak above trivial | NSIS's | goals |")
    out("|---|---|---|---|---|---|---|---|---|---|")
    results = {"meta": meta, "sizes": []}
    for mib in meta["sizes_mib"]:
        folder = os.path.join(raw, str(mib))
        medians = {}
        for name in ("setup", "nsis", "floor", "trivial"):
            rows = runs(os.path.join(folder, name + ".txt"))
            medians[name] = (statistics.median(r[0] for r in rows),
                             statistics.median(r[1] for r in rows) / 1024.0, len(rows))
        setup_t, setup_m, _ = medians["setup"]
        nsis_t, nsis_m, _ = medians["nsis"]
        floor_t = medians["floor"][0]
        trivial_t, trivial_m, _ = medians["trivial"]
        to_floor, to_nsis = setup_t / floor_t, setup_t / nsis_t
        setup_above, nsis_above = setup_m - trivial_m, nsis_m - trivial_m
        missed = []
        if mib >= FLOOR_FROM_MIB and to_floor > FLOOR_RATIO:
            missed.append(f"floor > {FLOOR_RATIO}x")
        if setup_above > MEMORY_ABOVE_MIB:
            missed.append(f"memory > {MEMORY_ABOVE_MIB:g} MiB")
        if to_nsis >= NSIS_RATIO:
            missed.append("not faster than NSIS")
        out(f"| {mib} MiB | {setup_t * 1000:.1f} ms | {nsis_t * 1000:.1f} ms | {floor_t * 1000:.1f} ms "
            f"| {trivial_t * 1000:.1f} ms | {to_floor:.2f}x | {to_nsis:.2f}x | {setup_above:.1f} MiB "
            f"| {nsis_above:.1f} MiB | {'met' if not missed else 'missed: ' + ', '.join(missed)} |")
        results["sizes"].append({
            "mib": mib, "medians": {k: {"seconds": v[0], "peak_mib": v[1], "runs": v[2]}
                                    for k, v in medians.items()},
            "setup_to_floor": to_floor, "setup_to_nsis": to_nsis,
            "setup_peak_above_trivial_mib": setup_above, "nsis_peak_above_trivial_mib": nsis_above,
            "missed": missed})
    out("")
    out(f"Goals: the setup within {FLOOR_RATIO}x the floor from {FLOOR_FROM_MIB} MiB on; its peak memory "
        f"at most {MEMORY_ABOVE_MIB:g} MiB above the trivial program's at every size; faster than NSIS "
        "at every size. The floor is native (no Wine): it reads the setup once, hashes it and copies "
        "the package with fsync.")
    text = "\n".join(lines) + "\n"
    print(text, end="")
    with open(text_out, "w") as f:
        f.write(text)
    with open(json_out, "w") as f:
        json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
