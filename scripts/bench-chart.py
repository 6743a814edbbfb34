#!/usr/bin/env python3
"""Draws the whole-frame results of ziv-bench as an SVG bar chart.

    scripts/bench-chart.py out/bench/results.json out/bench/frames.svg

Reads the "frames" summary that ziv-bench writes with --json: for every scene
and target format, the time per frame of ziv in each blend mode, SDL2's
software renderer, pixman and the memcpy floor. Bars show nanoseconds per
pixel touched on a logarithmic axis (shorter is faster), each labelled with
its frames per second; the goals of the run are listed underneath. Only the
standard library is used.
"""

import json
import math
import sys
from xml.sax.saxutils import escape

VARIANTS = [
    ("ziv/blend0", "ziv, blend mode 0", "#1f6fb2"),
    ("ziv/blend1", "ziv, blend mode 1", "#3d8fd1"),
    ("ziv/blend2", "ziv, blend mode 2", "#6bb3ea"),
    ("sdl2", "SDL2 software renderer", "#d9822b"),
    ("pixman", "pixman", "#8e5bb5"),
    ("memcpy_floor", "memcpy floor (blend mode 0 traffic)", "#8a8f98"),
]
FORMAT_LABELS = {"565": "RGB 565", "32": "32-bit XRGB"}

WIDTH = 900
LEFT = 250  # room for the labels of the bars
RIGHT = 90  # room for the value labels
BAR = 16
GAP = 4
GROUP_GAP = 26


class ChartError(Exception):
    pass


def load_frames(path):
    try:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    except (OSError, ValueError) as e:
        raise ChartError(f"cannot read {path}: {e}")
    summary = data.get("summaries", {}).get("frames")
    if not summary or not summary.get("frames"):
        raise ChartError(f"{path} has no whole-frame results (run ziv-bench with the frame cases)")
    groups = {}
    order = []
    for row in summary["frames"]:
        try:
            key = (row["scene"], row["format"])
            value = float(row["ns_per_pixel"])
            fps = float(row["fps"])
            variant = row["variant"]
        except (KeyError, TypeError, ValueError):
            raise ChartError(f"{path}: a frame result lacks scene, format, variant, ns_per_pixel or fps")
        if value <= 0 or not math.isfinite(value):
            continue
        if key not in groups:
            groups[key] = {}
            order.append(key)
        groups[key][variant] = (value, fps)
    if not order:
        raise ChartError(f"{path} has no usable whole-frame results")
    return data, summary, [(key, groups[key]) for key in order]


def axis_range(groups):
    values = [v for _, g in groups for v, _ in g.values()]
    # A decade lower when the shortest bar would hardly show.
    low = 10 ** math.floor(math.log10(min(values)) - 0.3)
    high = 10 ** math.ceil(math.log10(max(values)))
    if high <= low:
        high = low * 10
    return low, high


def render(data, summary, groups):
    low, high = axis_range(groups)
    plot = WIDTH - LEFT - RIGHT

    def x_of(value):
        return LEFT + plot * (math.log10(value) - math.log10(low)) / (math.log10(high) - math.log10(low))

    out = []
    y = 70
    # Bars, group by group.
    body = []
    for (scene, fmt), group in groups:
        body.append(
            f'<text x="{LEFT - 10}" y="{y + 12}" text-anchor="end" class="group">'
            f"{escape(scene)} frame, {escape(FORMAT_LABELS.get(fmt, fmt))}</text>"
        )
        y += 22
        for variant, label, colour in VARIANTS:
            if variant not in group:
                continue
            value, fps = group[variant]
            x1 = x_of(value)
            body.append(f'<text x="{LEFT - 10}" y="{y + BAR - 4}" text-anchor="end">{escape(label)}</text>')
            body.append(
                f'<rect x="{LEFT}" y="{y}" width="{max(x1 - LEFT, 1):.1f}" height="{BAR}" fill="{colour}">'
                f"<title>{escape(label)}: {value:.3f} ns per pixel, {fps:.0f} frames per second</title></rect>"
            )
            body.append(
                f'<text x="{x1 + 6:.1f}" y="{y + BAR - 4}" class="value">{value:.2f} ns/px · {fps:,.0f} fps</text>'
            )
            y += BAR + GAP
        y += GROUP_GAP
    top, bottom = 60, y - GROUP_GAP + 6

    # Logarithmic grid with a line per decade.
    grid = []
    decade = low
    while decade <= high * 1.0001:
        gx = x_of(decade)
        grid.append(f'<line x1="{gx:.1f}" y1="{top}" x2="{gx:.1f}" y2="{bottom}" class="grid"/>')
        label = f"{decade:g}"
        grid.append(f'<text x="{gx:.1f}" y="{bottom + 16}" text-anchor="middle" class="axis">{label}</text>')
        decade *= 10
    y = bottom + 36
    grid.append(
        f'<text x="{LEFT + plot / 2:.0f}" y="{y}" text-anchor="middle" class="axis">'
        "nanoseconds per pixel touched (logarithmic; shorter is faster)</text>"
    )
    y += 28

    notes = []
    for goal in summary.get("goals", []):
        try:
            mark = "met" if goal["met"] else "NOT met"
            relation = ">=" if goal.get("at_least", True) else "<="
            notes.append(f'goal: {goal["goal"]}: {goal["value"]:.2f}x ({relation} {goal["target"]:.1f}x) {mark}')
        except (KeyError, TypeError, ValueError):
            continue
    for note in notes:
        grid.append(f'<text x="20" y="{y}" class="note">{escape(note)}</text>')
        y += 18
    height = y + 10

    cpu = data.get("cpu", "unknown processor")
    level = data.get("active_kernel_level", "?")
    out.append(
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{height}" '
        f'viewBox="0 0 {WIDTH} {height}" font-family="sans-serif" font-size="12">'
    )
    out.append(
        "<style>text{fill:#1d232b} .title{font-size:16px;font-weight:bold} .group{font-weight:bold} "
        ".value{font-size:11px;fill:#3b4350} .axis{font-size:11px;fill:#56606d} .note{font-size:12px} "
        ".grid{stroke:#d4d8de;stroke-width:1}</style>"
    )
    out.append(f'<rect width="{WIDTH}" height="{height}" fill="#ffffff"/>')
    out.append('<text x="20" y="28" class="title">Whole GUI frames: ziv, SDL2 and pixman</text>')
    out.append(
        f'<text x="20" y="48" class="axis">{escape(cpu)}; ziv kernels: {escape(level)}; '
        "medians of ziv-bench repetitions</text>"
    )
    out.extend(grid)
    out.extend(body)
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main(argv):
    if len(argv) != 3:
        print(f"usage: {argv[0]} RESULTS.json CHART.svg", file=sys.stderr)
        return 2
    try:
        data, summary, groups = load_frames(argv[1])
        svg = render(data, summary, groups)
    except ChartError as e:
        print(f"bench-chart: {e}", file=sys.stderr)
        return 1
    try:
        with open(argv[2], "w", encoding="utf-8") as f:
            f.write(svg)
    except OSError as e:
        print(f"bench-chart: cannot write {argv[2]}: {e}", file=sys.stderr)
        return 1
    print(f"chart written to {argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
