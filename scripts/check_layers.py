#!/usr/bin/env python3
"""Checks the include rule of src/ (the README's Layout section states it).

Engine folders, lowest first: app, queue, transfer, search, tools, periphery.
An engine file includes engine headers of its own folder and lower ones, and
Qt Core and Network only. A ui/ folder includes any engine folder, and ui
folders in the order app/ui, transfer/ui, tools/ui, periphery/ui, queue/ui,
search/ui (its own and lower ones). src/main.cpp may include anything.
Prints every include that breaks the rule and exits 1 when there is one.
"""
import pathlib
import re
import sys

ENGINE = ["app", "queue", "transfer", "search", "tools", "periphery"]
UI = ["app", "transfer", "tools", "periphery", "queue", "search"]
# Qt modules an engine file must not touch.
FORBIDDEN_QT = re.compile(
    r"^(QtWidgets|QtWebEngine\w*|QtMultimedia\w*|QtGui|QWidget|QApplication|QGuiApplication|QMessageBox|QDialog"
    r"|QLabel|QComboBox|QTreeView|QTableView|QListView|QHeaderView|QAbstractItemView|QMainWindow|QMenu|QAction"
    r"|QPushButton|QCheckBox|QRadioButton|QLineEdit|QStatusBar|QSplitter|QFileDialog|QInputDialog|QIcon|QPixmap"
    r"|QPainter|QImage|QColor|QFont\w*|QDesktopServices|QClipboard|QScreen|QWebEngine\w*|QSoundEffect|QMediaPlayer)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def place(rel):
    """(kind, folder) of a path below src/: kind 'engine', 'ui' or 'top'."""
    parts = rel.parts
    if len(parts) == 1:
        return ("top", None)
    folder = parts[0]
    if len(parts) >= 3 and parts[1] == "ui":
        return ("ui", folder)
    return ("engine", folder)


def allowed(src, dst):
    skind, sfolder = src
    dkind, dfolder = dst
    if skind == "top":
        return True
    if dkind == "top":
        return False
    if skind == "engine":
        return dkind == "engine" and ENGINE.index(dfolder) <= ENGINE.index(sfolder)
    if dkind == "engine":
        return True
    return UI.index(dfolder) <= UI.index(sfolder)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src")
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        rel = path.relative_to(root)
        src = place(rel)
        if src[0] != "top" and src[1] not in ENGINE:
            faults.append(f"{rel}: folder '{src[1]}' is not one of {', '.join(ENGINE)}")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            bracket, name = m.groups()
            if bracket == "<":
                if src[0] == "engine" and FORBIDDEN_QT.match(name):
                    faults.append(f"{rel}:{number}: engine file includes <{name}> (windows, browser engine or sound)")
                continue
            target = pathlib.PurePosixPath(name)
            if not (root / target).exists():
                continue  # a generated file (moc) or one next to the includer
            dst = place(target)
            if dst[0] != "top" and dst[1] not in ENGINE:
                continue
            if not allowed(src, dst):
                faults.append(f"{rel}:{number}: includes \"{name}\", which its layer may not")
    for f in faults:
        print(f)
    if faults:
        print(f"layering: {len(faults)} include(s) break the rule (see README, Layout)")
        return 1
    print("layering: every include follows the rule")
    return 0


if __name__ == "__main__":
    sys.exit(main())
