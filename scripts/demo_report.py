#!/usr/bin/env python3
"""What the demo's run showed, as a user and an administrator would see it:
each box (with its picture), the exit code, the installed file, the recorded
size, and whether the stand-in Vespodar was started and is in front.

    demo_report.py DEMO_DIR BUILD_DIR ROOT      (scripts/demo.sh runs it)
"""
import json, pathlib, re, sys
demo, build, root = map(pathlib.Path, sys.argv[1:4])
sys.path.insert(0, str(root / "tests" / "e2e"))
from pictures import to_png
print()
for number, line in enumerate((demo / "boxes.jsonl").read_text(encoding="utf-8").splitlines(), 1):
    box = json.loads(line)
    print(f"Box {number}: [{box['caption']}]")
    for text_line in box["text"].split("\r\n"):
        print(f"    {text_line}")
    print(f"    buttons: {' '.join(box['buttons'])}  -> answered {box['answer']}")
    if box.get("picture"):
        png = demo / "shots" / pathlib.Path(box["picture"]).with_suffix(".png").name
        to_png(demo / "shots" / box["picture"], png)
        print(f"    picture: {png.relative_to(root)}")
    else:
        print(f"    picture: none (error {box.get('picture_error')})")
result = json.loads((demo / "result.json").read_text(encoding="utf-8"))
print(f"\nExit code: {result['exit_code']}")
same = (demo / "installed.cok").read_bytes() == (build / "package" / "vdq2.cok").read_bytes()
print(f"vdq2.cok in the product directory is the package: {'yes' if same else 'NO'}")
size = re.search(r"0x([0-9a-fA-F]+)", (demo / "estimated_size.txt").read_text(errors="replace"))
recorded = int(size.group(1), 16) if size else None
print(f"EstimatedSize: {recorded} KiB (the tree holds {(demo / 'tree_kib.txt').read_text().strip()} KiB)")
log = demo / "product.log"
if log.exists():
    print("The stand-in Vespodar says:")
    for line in log.read_text(encoding="utf-8").splitlines():
        print(f"    {line}")
print(f"Foreground window after the setup: class {result.get('foreground_class')!r}, "
      f"minimised: {result.get('foreground_iconic')}")
in_front = result.get("foreground_class") == "TVDMainForm" and not result.get("foreground_iconic")
print(f"The stand-in Vespodar is in front: {'yes' if in_front else 'NO'}")
