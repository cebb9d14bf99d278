#!/usr/bin/env python3
"""The tables of bench/run_encoded.sh: bytes shipped for real content, and
install time and peak private memory of compressed and delta updates, with
whether each goal was met.

Usage: encoded_report.py RAW_DIR RESULTS.txt RESULTS.json
RAW_DIR holds meta.json, bytes/KIND.tsv (one "name<TAB>bytes" a line) and
time/MIB/ with NAME.txt for each installer measured (one line per round, in
round order: "seconds maxrss_kib status rss_anon_peak_kib", run_measure.c
--anon), NAME.failed for one that failed its warm-up, and sizes.tsv."""
import json
import os
import statistics
import sys

KIB, MIB = 1024, 1024 * 1024

# The goals. Bytes: the compressed update no larger than NSIS /SOLID lzma's
# installer from 64 MB on, its package's share within 1.10 x xz -9; the
# delta's share at most zstd --patch-from's patch + 1 KiB, the delta update
# at most 10 % of the compressed one.
NSIS_FROM_BYTES = 64 * 10**6
XZ_RATIO = 1.10
PATCH_SLACK = 1 * KIB
DELTA_SHARE = 0.10
# Time and memory: from 256 MiB on at most 0.5 x NSIS's time and 2.0 x the
# floor's; decoded at 300 MB/s or more; private memory above the trivial
# program's at most 16 MiB (compressed) and 32 MiB (delta).
TIME_FROM_MIB = 256
NSIS_TIME_RATIO = 0.5
FLOOR_RATIO = 2.0
DECODE_MB_S = 300.0
MEMORY_MIB = {"compressed": 16.0, "delta": 32.0}


def read_tsv(path):
    values = {}
    with open(path) as f:
        for line in f:
            name, _, value = line.rstrip("\n").partition("\t")
            values[name] = int(value) if value.isdigit() else value
    return values


def runs(path):
    rows = []
    with open(path) as f:
        for line in f:
            seconds, maxrss, status, anon = line.split()
            if int(status) != 0:
                sys.exit(f"{path}: a run exited with {status}")
            rows.append({"seconds": float(seconds), "maxrss_mib": int(maxrss) / KIB,
                         "anon_mib": int(anon) / KIB})
    return rows


def paired(a, b, f):
    """The median of f(a[i], b[i]) over the rounds both ran in."""
    return statistics.median(f(x, y) for x, y in zip(a, b))


def verdict(missed):
    return "met" if not missed else "missed: " + "; ".join(missed)


def bytes_table(raw, out, results):
    folder = os.path.join(raw, "bytes")
    if not os.path.isdir(folder):
        return
    out("## Bytes shipped (whole files; the package's share = the setup minus the stored setup's weight)")
    out("")
    out("| content | old → new | new | stored setup | compressed setup | delta setup "
        "| NSIS /SOLID lzma | xz -9 | zstd -19 --patch-from |")
    out("|---|---|---|---|---|---|---|---|---|")
    rows = []
    for kind in sorted(os.listdir(folder)):
        v = read_tsv(os.path.join(folder, kind))
        source = v["source"].split("\t")
        name = kind[:-4]
        weight = v["stored"] - v["new"]  # the stored setup's own bytes
        row = {
            "content": name, "old_package": source[1], "old_version": source[2],
            "new_package": source[3], "new_version": source[4], "path": source[5],
            **{k: v[k] for k in ("old", "new", "stored", "compressed", "delta", "nsis_lzma", "xz9",
                                 "patch_from", "compressed_carried", "delta_carried")},
            "setup_weight": weight,
            "compressed_share": v["compressed"] - weight,
            "delta_share": v["delta"] - weight,
            # What a setup that decodes carries besides its package and the
            # stored setup's code: the decoder, the header, the layout.
            "compressed_decoder_weight": v["compressed"] - v["compressed_carried"] - weight,
            "delta_decoder_weight": v["delta"] - v["delta_carried"] - weight,
        }
        row["compressed_to_nsis"] = v["compressed"] / v["nsis_lzma"]
        row["compressed_share_to_xz"] = row["compressed_share"] / v["xz9"]
        row["delta_share_over_patch"] = row["delta_share"] - v["patch_from"]
        row["delta_carried_over_patch"] = v["delta_carried"] - v["patch_from"]
        row["delta_to_compressed"] = v["delta"] / v["compressed"]
        missed = []
        if v["new"] >= NSIS_FROM_BYTES and row["compressed_to_nsis"] > 1.0:
            missed.append(f"compressed {row['compressed_to_nsis']:.3f}x NSIS")
        if row["compressed_share_to_xz"] > XZ_RATIO:
            missed.append(f"compressed share {row['compressed_share_to_xz']:.3f}x xz -9")
        if row["delta_share_over_patch"] > PATCH_SLACK:
            missed.append(f"delta share {row['delta_share_over_patch']:+,} B over the patch")
        if row["delta_to_compressed"] > DELTA_SHARE:
            missed.append(f"delta {row['delta_to_compressed'] * 100:.1f} % of compressed")
        row["missed"] = missed
        rows.append(row)
        out(f"| {name} | {source[1]} {source[2]} → {source[4]} | {v['new']:,} | {v['stored']:,} "
            f"| {v['compressed']:,} | {v['delta']:,} | {v['nsis_lzma']:,} | {v['xz9']:,} "
            f"| {v['patch_from']:,} |")
    out("")
    out("| content | compressed / NSIS | compressed share / xz -9 | delta share − patch "
        "(carried − patch) | delta / compressed | decoder's weight | goals |")
    out("|---|---|---|---|---|---|---|")
    for r in rows:
        out(f"| {r['content']} | {r['compressed_to_nsis']:.3f} | {r['compressed_share_to_xz']:.3f} "
            f"| {r['delta_share_over_patch']:+,} B ({r['delta_carried_over_patch']:+,} B) "
            f"| {r['delta_to_compressed'] * 100:.2f} % | {r['compressed_decoder_weight']:,} B "
            f"| {verdict(r['missed'])} |")
    out("")
    out(f"Goals: compressed setup ≤ NSIS /SOLID lzma's installer (from {NSIS_FROM_BYTES // 10**6} MB); "
        f"its share ≤ {XZ_RATIO:.2f} x xz -9; delta's share ≤ the patch + {PATCH_SLACK} B; "
        f"delta setup ≤ {DELTA_SHARE * 100:.0f} % of the compressed setup.")
    out("")
    results["bytes"] = rows


def time_table(raw, out, results, meta):
    folder = os.path.join(raw, "time")
    if not os.path.isdir(folder):
        return
    out(f"## Install time and peak private memory ({meta['rounds']} rounds, medians; ratios are "
        "medians of the rounds' own ratios)")
    out("")
    splits, split_rows = read_splits(folder)
    out("| package | update | time | / NSIS lzma | / floor | install MB/s | decoding MB/s "
        "| private peak above trivial | resident peak above trivial | goals |")
    out("|---|---|---|---|---|---|---|---|---|---|")
    sizes = []
    references = []
    for mib in sorted(os.listdir(folder), key=int):
        d = os.path.join(folder, mib)
        size = read_tsv(os.path.join(d, "sizes.tsv"))
        measured = {}
        failed = {}
        for name in ("compressed", "delta", "stored", "nsis", "floor", "trivial"):
            path = os.path.join(d, name + ".txt")
            if os.path.exists(path):
                measured[name] = runs(path)
            elif os.path.exists(os.path.join(d, name + ".failed")):
                failed[name] = open(os.path.join(d, name + ".failed")).read().strip().partition(": ")[2]
        trivial = measured["trivial"]
        t_trivial = statistics.median(r["seconds"] for r in trivial)
        anon_trivial = statistics.median(r["anon_mib"] for r in trivial)
        rss_trivial = statistics.median(r["maxrss_mib"] for r in trivial)
        entry = {"mib": int(mib), "sizes": size, "failed": failed, "medians": {}, "updates": {}}
        for name, rows in measured.items():
            entry["medians"][name] = {
                "seconds": statistics.median(r["seconds"] for r in rows),
                "anon_peak_mib": statistics.median(r["anon_mib"] for r in rows),
                "maxrss_mib": statistics.median(r["maxrss_mib"] for r in rows),
                "runs": len(rows), "raw": rows}
        for name in ("compressed", "delta"):
            if name in failed:
                out(f"| {mib} MiB | {name} | failed: {failed[name]} | | | | | | | missed |")
                entry["updates"][name] = {"failed": failed[name]}
                continue
            rows = measured[name]
            m = entry["medians"][name]
            u = {"seconds": m["seconds"],
                 "anon_above_trivial_mib": m["anon_peak_mib"] - anon_trivial,
                 "maxrss_above_trivial_mib": m["maxrss_mib"] - rss_trivial,
                 "install_mb_s": paired(rows, trivial,
                                        lambda a, t: size["new"] / (a["seconds"] - t["seconds"]) / 1e6)}
            # The decoding: the setup's DecodedPackage (decode and hash) alone
            # where it was timed, else the whole install above the trivial run.
            split = splits.get(int(mib), {}).get(name, {})
            u["decoding_mb_s"] = (size["new"] / split["decode+hash"] / 1e6 if "decode+hash" in split
                                  else u["install_mb_s"])
            for ref in ("nsis", "floor", "stored"):
                if ref in measured:
                    u["to_" + ref] = paired(rows, measured[ref], lambda a, b: a["seconds"] / b["seconds"])
            if "stored" in measured:
                # What decoding adds to the same write of the same bytes.
                u["above_stored_seconds"] = paired(rows, measured["stored"],
                                                   lambda a, b: a["seconds"] - b["seconds"])
            missed = []
            if int(mib) >= TIME_FROM_MIB:
                if u.get("to_nsis", 0) > NSIS_TIME_RATIO:
                    missed.append(f"{u['to_nsis']:.2f}x NSIS")
                if u.get("to_floor", 0) > FLOOR_RATIO:
                    missed.append(f"{u['to_floor']:.2f}x floor")
            if u["decoding_mb_s"] < DECODE_MB_S:
                missed.append(f"decoding {u['decoding_mb_s']:.0f} MB/s")
            if u["anon_above_trivial_mib"] > MEMORY_MIB[name]:
                missed.append(f"{u['anon_above_trivial_mib']:.1f} MiB private")
            if "nsis" not in measured or "floor" not in measured:
                missed.append("no reference measured")
            u["missed"] = missed
            entry["updates"][name] = u
            fmt = lambda key: f"{u[key]:.3f}" if key in u else "–"  # noqa: E731
            out(f"| {mib} MiB | {name} | {m['seconds'] * 1000:.0f} ms | {fmt('to_nsis')} | {fmt('to_floor')} "
                f"| {u['install_mb_s']:.0f} | {u['decoding_mb_s']:.0f} | {u['anon_above_trivial_mib']:.1f} MiB "
                f"| {u['maxrss_above_trivial_mib']:.1f} MiB | {verdict(missed)} |")
        references.append((mib, entry, t_trivial, anon_trivial))
        sizes.append(entry)
    out("")
    out("The references in the same rounds (medians; private peak above the trivial program's):")
    out("")
    out("| package | stored setup | NSIS /SOLID lzma | floor (native) | trivial | "
        "compressed − stored | delta − stored |")
    out("|---|---|---|---|---|---|---|")
    for mib, entry, t_trivial, anon_trivial in references:
        med = entry["medians"]

        def cell(name):
            if name not in med:
                return "failed" if name in entry["failed"] else "–"
            return f"{med[name]['seconds'] * 1000:.0f} ms, {med[name]['anon_peak_mib'] - anon_trivial:.1f} MiB"

        def above(name):
            u = entry["updates"].get(name, {})
            return f"{u['above_stored_seconds'] * 1000:+.0f} ms" if "above_stored_seconds" in u else "–"
        out(f"| {mib} MiB | {cell('stored')} | {cell('nsis')} | {cell('floor')} "
            f"| {t_trivial * 1000:.0f} ms, {anon_trivial:.1f} MiB private | {above('compressed')} "
            f"| {above('delta')} |")
    print_splits(split_rows, out)
    for entry in sizes:
        entry["split"] = splits.get(entry["mib"], {})
    out("")
    out(f"Goals: from {TIME_FROM_MIB} MiB on at most {NSIS_TIME_RATIO} x NSIS /SOLID lzma's time and "
        f"{FLOOR_RATIO} x the floor's; decoding at {DECODE_MB_S:.0f} MB/s or more (the decoded size over "
        "the setup's decode and hash timed alone; install MB/s: over the whole run's time above the "
        "trivial program's; 10^6 bytes); private memory (RssAnon, sampled "
        "every 2 ms) above the trivial program's at most "
        f"{MEMORY_MIB['compressed']:g} MiB compressed, {MEMORY_MIB['delta']:g} MiB delta. The floor: "
        "floor_copy, native, reads the decoded file, hashes it (SHA-256), writes it and fsyncs.")
    results["time"] = sizes


SPLIT_STEPS = ("read", "decode", "decode-again", "decode+hash", "hash", "write")


def read_splits(folder):
    """The steps of an encoded package's install timed alone
    (decode_split.cpp): medians of its runs, by size and update."""
    splits = {}
    rows = []
    for mib in sorted(os.listdir(folder), key=int):
        size = read_tsv(os.path.join(folder, mib, "sizes.tsv"))["new"]
        for name in ("compressed", "delta"):
            path = os.path.join(folder, mib, f"split-{name}.txt")
            if not os.path.exists(path):
                continue
            times = {}
            with open(path) as f:
                for line in f:
                    step, seconds = line.split()
                    times.setdefault(step, []).append(float(seconds))
            medians = {step: statistics.median(times[step]) for step in SPLIT_STEPS if step in times}
            splits.setdefault(int(mib), {})[name] = medians
            rows.append((mib, name, size, medians))
    return splits, rows


def print_splits(rows, out):
    if not rows:
        return
    out("")
    out("Where the time goes: each step alone in one Windows process, the setup's own decoder "
        "and SHA-256 (bench/decode_split.cpp; medians of 3 runs; MB/s of the decoded size):")
    out("")
    out("| package | update | read of the package | decode | decode again (pages in memory) "
        "| decode + hash (the setup's) | hash (read included) | write + flush |")
    out("|---|---|---|---|---|---|---|---|")
    for mib, name, size, m in rows:
        def cell(step):
            if step not in m:
                return "–"
            return f"{m[step] * 1000:.0f} ms ({size / m[step] / 1e6:.0f} MB/s)" if step != "read" \
                else f"{m[step] * 1000:.0f} ms"
        out(f"| {mib} MiB | {name} | " + " | ".join(cell(p) for p in SPLIT_STEPS) + " |")


def main() -> int:
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    raw, text_out, json_out = sys.argv[1:]
    meta = json.load(open(os.path.join(raw, "meta.json")))
    lines = []
    out = lines.append
    out(f"Compressed and delta updates, {meta['date']}; {meta['kind']}")
    out(f"machine: {meta['machine']}; Debian {meta['debian']}; {meta['wine']}, NSIS {meta['makensis']}, "
        f"zstd {meta['zstd']}, xz {meta['xz']}")
    out(f"load average before {meta['load_before']}, after {meta['load_after']}; "
        f"other Wine servers: {meta['other_wineservers']}")
    out("")
    results = {"meta": meta}
    bytes_table(raw, out, results)
    time_table(raw, out, results, meta)
    text = "\n".join(lines) + "\n"
    print(text, end="")
    with open(text_out, "w") as f:
        f.write(text)
    with open(json_out, "w") as f:
        json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
