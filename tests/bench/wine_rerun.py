#!/usr/bin/env python3
"""Decides whether the Wine benchmark of one table size was disturbed, and keeps the quieter run.

    wine_rerun.py busy WINE.json ROWS           exit 0 when another process was busy meanwhile
    wine_rerun.py keep WINE.json RERUN.json ROWS   the run with the faster start goes into WINE.json
"""
import json
import sys
from pathlib import Path


def main() -> int:
    action = sys.argv[1]
    if action == "busy":
        size = json.loads(Path(sys.argv[2]).read_text())["sizes"].get(sys.argv[3], {})
        return 0 if size.get("busy_before") or size.get("busy_after") else 1
    if action == "keep":
        first_path, rerun_path, rows = Path(sys.argv[2]), Path(sys.argv[3]), sys.argv[4]
        first = json.loads(first_path.read_text())
        rerun = json.loads(rerun_path.read_text())
        old, new = first["sizes"][rows], rerun["sizes"][rows]
        old_start, new_start = old["steps"]["start"], new["steps"]["start"]
        kept = new if new_start < old_start else old
        kept["rerun_note"] = (f"first run start {old_start:.3f} s, load {old.get('load_before')}; "
                              f"re-run start {new_start:.3f} s, load {new.get('load_before')}; "
                              f"kept the {'re-run' if kept is new else 'first run'}")
        first["sizes"][rows] = kept
        first_path.write_text(json.dumps(first, indent=1))
        return 0
    return 2


if __name__ == "__main__":
    sys.exit(main())
