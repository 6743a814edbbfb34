#!/usr/bin/env python3
"""Tests of scripts/bench-chart.py: the SVG it writes from ziv-bench results
(well-formed, one bar per result, bar lengths on a logarithmic scale, the
goals with their outcome) and its answers to missing or broken input.

    test_bench_chart.py path/to/bench-chart.py
"""

import json
import math
import os
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SCRIPT = None
SVG = "{http://www.w3.org/2000/svg}"


def frame(scene, fmt, variant, ns, fps):
    return {"scene": scene, "format": fmt, "variant": variant, "ns_per_pixel": ns, "fps": fps, "ms": 1.0}


RESULTS = {
    "cpu": "Test CPU <x86>",
    "active_kernel_level": "avx2",
    "summaries": {
        "frames": {
            "frames": [
                frame("synthetic", "565", "ziv/blend2", 0.5, 700),
                frame("synthetic", "565", "sdl2", 25.0, 13),
                frame("synthetic", "565", "pixman", 5.0, 70),
                frame("synthetic", "565", "memcpy_floor", 0.25, 1600),
                frame("demo", "32", "ziv/blend0", 1.0, 1700),
                frame("demo", "32", "pixman", 0.0, 0),  # not measured: left out
            ],
            "goals": [
                {"goal": "vs SDL2", "value": 50.0, "target": 3.0, "at_least": True, "met": True},
                {"goal": "over the floor", "value": 2.5, "target": 2.0, "at_least": False, "met": False},
            ],
        }
    },
}


class BenchChartTest(unittest.TestCase):
    def run_chart(self, results, raw=None):
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "results.json")
            chart = os.path.join(folder, "chart.svg")
            with open(source, "w", encoding="utf-8") as f:
                f.write(raw if raw is not None else json.dumps(results))
            done = subprocess.run([sys.executable, SCRIPT, source, chart], capture_output=True, text=True)
            svg = None
            if os.path.exists(chart):
                with open(chart, encoding="utf-8") as f:
                    svg = f.read()
            return done, svg

    def test_every_result_is_a_bar_on_a_logarithmic_scale(self):
        done, svg = self.run_chart(RESULTS)
        self.assertEqual(done.returncode, 0, done.stderr)
        root = ET.fromstring(svg)
        bars = {}
        for rect in root.iter(SVG + "rect"):
            title = rect.find(SVG + "title")
            if title is not None:
                bars[title.text.split(":")[0]] = float(rect.get("width"))
        self.assertEqual(
            sorted(bars),
            sorted(["ziv, blend mode 2", "SDL2 software renderer", "pixman",
                    "memcpy floor (blend mode 0 traffic)", "ziv, blend mode 0"]),
        )
        # Equal ratios of time give equal steps of length.
        decade = (bars["SDL2 software renderer"] - bars["pixman"]) / math.log10(25.0 / 5.0)
        self.assertAlmostEqual(bars["pixman"] - bars["ziv, blend mode 2"], decade * math.log10(5.0 / 0.5), places=0)
        self.assertAlmostEqual(bars["ziv, blend mode 2"] - bars["memcpy floor (blend mode 0 traffic)"],
                               decade * math.log10(0.5 / 0.25), places=0)
        texts = " ".join(t.text or "" for t in root.iter(SVG + "text"))
        self.assertIn("Test CPU <x86>", texts)  # escaped in the file, intact once parsed
        self.assertIn("demo frame, 32-bit XRGB", texts)
        self.assertIn("1,600 fps", texts)

    def test_goals_are_listed_with_their_outcome(self):
        done, svg = self.run_chart(RESULTS)
        self.assertEqual(done.returncode, 0, done.stderr)
        texts = [t.text for t in ET.fromstring(svg).iter(SVG + "text")]
        self.assertIn("goal: vs SDL2: 50.00x (>= 3.0x) met", texts)
        self.assertIn("goal: over the floor: 2.50x (<= 2.0x) NOT met", texts)

    def test_missing_or_broken_results_are_reported(self):
        done, svg = self.run_chart({"cpu": "x", "summaries": {}})
        self.assertEqual(done.returncode, 1)
        self.assertIn("no whole-frame results", done.stderr)
        self.assertIsNone(svg)
        done, svg = self.run_chart(None, raw="{ not json")
        self.assertEqual(done.returncode, 1)
        self.assertIn("cannot read", done.stderr)
        broken = {"summaries": {"frames": {"frames": [{"scene": "s"}]}}}
        done, svg = self.run_chart(broken)
        self.assertEqual(done.returncode, 1)
        self.assertIn("lacks", done.stderr)
        done = subprocess.run([sys.executable, SCRIPT], capture_output=True, text=True)
        self.assertEqual(done.returncode, 2)
        self.assertIn("usage", done.stderr)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print("usage: test_bench_chart.py path/to/bench-chart.py", file=sys.stderr)
        sys.exit(2)
    SCRIPT = sys.argv.pop(1)
    unittest.main()
