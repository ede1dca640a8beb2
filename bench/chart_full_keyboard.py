#!/usr/bin/env python3
"""Adds the keys of a full 105-key keyboard that a system layout's import
leaves out (function row, Escape, Print/Scroll/Pause, Windows and Menu keys,
editing and arrow keys, number pad) to a package dump of an imported main
block, each with the picture of the main block's Delete key.

    chart_full_keyboard.py IN.json OUT.json
"""
import json
import sys

src, dst = sys.argv[1], sys.argv[2]
d = json.load(open(src, encoding="utf-8"))
rows = d["keys"]["rows"]
unit, step = 40, 42
glyph = next(r["Glyph"] for r in rows if r["Name"] == "Delete")
# The main block moves down a row to make room for the function row.
for r in rows:
    r["Y"] += step + 8
value = max(r["KeyValue"] for r in rows)
fingers = {"L": 0, "R": 9}


def add(name, x, y, w=unit, h=unit, finger=9, key_type=46):
    global value
    value += 1
    rows.append({"Name": name, "KeyValue": value, "KeyType": key_type, "KeyType2": 0, "Finger": finger,
                 "Glyph": glyph, "Width": w, "Height": h, "X": x, "Y": y, "Hint": name})


top = min(r["Y"] for r in rows)
right = max(r["X"] + r["Width"] for r in rows)
add("Esc", 8, 8, finger=0)
for i in range(12):
    group = i // 4
    add(f"F{i + 1}", 8 + step * (i + 2) + group * 21, 8, finger=[0, 3, 6, 9][group] if i % 4 == 0 else 3 + 3 * (i >= 6))
nav = right + 16
for i, name in enumerate(["Print", "Scroll", "Pause"]):
    add(name, nav + step * i, 8)
for i, name in enumerate(["Insert", "Home", "Page Up"]):
    add(name, nav + step * i, top)
for i, name in enumerate(["Del", "End", "Page Down"]):
    add(name, nav + step * i, top + step)
bottom = max(r["Y"] for r in rows if r["X"] < nav)
add("Up", nav + step, bottom - step, finger=7)
for i, name in enumerate(["Left", "Down", "Right"]):
    add(name, nav + step * i, bottom, finger=6 + i)
pad = nav + 3 * step + 16
pad_keys = [["Num", "/", "*", "-"], ["7", "8", "9", "+"], ["4", "5", "6"], ["1", "2", "3", "Enter"], ["0", "."]]
for row, names in enumerate(pad_keys):
    x = pad
    for name in names:
        tall = name in ("+", "Enter")
        wide = name == "0"
        add("Pad " + name, x, top + step * row, w=unit + step if wide else unit, h=unit + step if tall else unit,
            finger=6 + min(3, (x - pad) // step))
        x += step * (2 if wide else 1)
# The Windows and Menu keys beside the bottom row's modifiers.
add("L Win", 8, bottom + step, finger=4)
add("R Win", 8 + step, bottom + step, finger=5)
add("Menu", 8 + 2 * step, bottom + step, finger=9)
json.dump(d, open(dst, "w", encoding="utf-8"), ensure_ascii=False)
print(f"{len(rows)} keys", file=sys.stderr)
