"""Turns Google Benchmark JSON files into the summary lines of scripts/bench.sh.

A benchmark with items_per_second is reported in MP/s, any other in ms of real
time. A label "vs:NAME" adds the ratio to figure NAME: time over NAME's time.
"""
import glob
import json
import os
import sys

figures = {}
order = []
for path in sorted(glob.glob(os.path.join(sys.argv[1], "*.json"))):
    with open(path) as f:
        data = json.load(f)
    for b in data.get("benchmarks", []):
        if b.get("run_type") == "aggregate":
            continue
        name = b["name"].split("/")[0]
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
        ms = b["real_time"] * scale
        if name not in figures:
            order.append(name)
        figures[name] = {"ms": ms, "ips": b.get("items_per_second"), "label": b.get("label", "")}

for name in sorted(order, key=lambda n: (n != "copy", n)):
    fig = figures[name]
    line = f"{name} {fig['ips'] / 1e6:.1f} MP/s" if fig["ips"] else f"{name} {fig['ms']:.2f} ms"
    label = fig["label"]
    if label.startswith("vs:") and label[3:] in figures:
        base = figures[label[3:]]
        line += f" {fig['ms'] / base['ms']:.2f}x {label[3:]}"
    print(line)
