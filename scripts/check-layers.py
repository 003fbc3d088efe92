#!/usr/bin/env python3
"""check-layers.py BUILD_DIR: checks that the build keeps the modules in their layers.

Every module target sees only its own headers and those of the modules it links (see
cmake/OrvexWarnings.cmake). With each target's own compile command from compile_commands.json this
script checks that
  - an include of a module in the same or a higher layer fails with "No such file or directory",
  - a Qt include fails in the targets that must stay plain C++,
  - a plain target in a folder shared with a Qt target does not see that target's headers,
  - every header the target exposes preprocesses with the target's own flags (so a header no
    source of the module includes cannot carry a Qt or upward include either),
  - no source reaches a neighbouring folder with "../",
  - a test in tests/<module>/ sees no module above <module>.
Exits 1 and names every breach.
"""
import concurrent.futures
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile

# The layer rule: a module may include only modules of a lower layer (and its own folder).
LAYERS = {
    "platform": 0,
    "net": 1,
    "controls": 1,
    "resolve": 2,
    "netinfo": 2,
    "ping": 2,
    "web": 2,
    "tcphistory": 2,
    "trace": 2,
    "app": 3,
}
# Module targets that must not use Qt.
PLAIN_TARGETS = {
    "orvex_platform", "orvex_net", "orvex_controls_rules", "orvex_resolve", "orvex_netinfo",
    "orvex_ping", "orvex_web", "orvex_tcphistory", "orvex_trace",
}
QT_PROBES = ["QObject", "QtCore/qglobal.h"]


def compile_args(entry):
    """The entry's compiler and flags, without launcher, input, output and dependency files."""
    argv = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    if os.path.basename(argv[0]) == "ccache":
        argv = argv[1:]
    out, skip = [], False
    for arg in argv:
        if skip:
            skip = False
        elif arg in ("-o", "-c", "-MT", "-MF", "-MQ"):
            skip = True
        elif arg in ("-MD", "-MMD") or arg == entry["file"]:
            pass
        else:
            out.append(arg)
    return out


def preprocess(args, text):
    cmd = args + ["-E", "-o", os.devnull, "-x", "c++", "-"]
    with tempfile.TemporaryDirectory() as cwd:
        r = subprocess.run(cmd, input=text, capture_output=True, text=True, cwd=cwd)
    return r.returncode, r.stderr


def main():
    build = os.path.abspath(sys.argv[1])
    source = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
    entries = json.load(open(os.path.join(build, "compile_commands.json")))
    stage_root = os.path.join(build, "include")
    errors = []

    # target -> (folder, stage folder); target -> compile arguments
    stages = {}
    for target in sorted(os.listdir(stage_root)):
        if target.startswith("orvex_") and target != "orvex_test_headers":
            (folder,) = os.listdir(os.path.join(stage_root, target))
            stages[target] = (folder, os.path.join(stage_root, target, folder))
    args_of = {}
    for e in entries:
        m = re.search(r"CMakeFiles/(\w+)\.dir/", e.get("output", "") or e.get("command", ""))
        if m and m.group(1) not in args_of:
            args_of[m.group(1)] = compile_args(e)

    for target, (folder, _) in stages.items():
        if folder not in LAYERS:
            errors.append(f"{target}: folder {folder}/ has no layer in scripts/check-layers.py")
    folders = sorted(LAYERS)
    first_header = {f: sorted(h for h in os.listdir(os.path.join(source, f)) if h.endswith(".h"))[0]
                    for f in folders}

    jobs = []  # (description, args, probe text, header that must be missing)
    for target, (folder, staged) in stages.items():
        args = args_of.get(target)
        if args is None or folder not in LAYERS:
            continue
        for other in folders:
            if other != folder and LAYERS[other] >= LAYERS[folder]:
                header = f"{other}/{first_header[other]}"
                jobs.append((f"{target} includes {header}", args, f'#include "{header}"\n', header))
        if target in PLAIN_TARGETS:
            for header in QT_PROBES:
                jobs.append((f"{target} includes <{header}>", args, f"#include <{header}>\n", header))
        visible = sorted(os.listdir(staged))
        if not os.path.islink(staged):  # a folder shared with a Qt target: only the listed headers
            hidden = sorted(set(h for h in os.listdir(os.path.join(source, folder)) if h.endswith(".h"))
                            - set(visible))
            if hidden:
                header = f"{folder}/{hidden[0]}"
                jobs.append((f"{target} includes {header}", args, f'#include "{header}"\n', header))
        for header in visible:
            if header.endswith(".h"):
                path = os.path.join(staged, header)
                jobs.append((f"{target}: {folder}/{header}", args, f'#include "{path}"\n', None))

    def run(job):
        what, args, text, missing = job
        rc, err = preprocess(args, text)
        if missing:
            if rc == 0 or f"{missing}: No such file or directory" not in err:
                return f"{what}: compiles, but must fail with '{missing}: No such file or directory'"
        elif rc != 0:
            return f"{what} does not preprocess with the target's flags:\n{err.strip()}"
        return None

    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        errors += [e for e in pool.map(run, jobs) if e]

    # A relative path out of the folder would find any module whatever the include path says.
    for folder in folders + ["tests", "bench", "fuzz"]:
        for dirpath, _, files in os.walk(os.path.join(source, folder)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(dirpath, name)
                    for n, line in enumerate(open(path, encoding="utf-8", errors="replace"), 1):
                        if re.match(r'\s*#\s*include\s*"\.\./', line):
                            errors.append(f"{os.path.relpath(path, source)}:{n}: include through ../")

    # Tests of a module see no module above it.
    stage_folder = {os.path.join(stage_root, t): f for t, (f, _) in stages.items()}
    for e in entries:
        rel = os.path.relpath(e["file"], source).split(os.sep)
        if len(rel) < 3 or rel[0] != "tests" or rel[1] not in LAYERS:
            continue
        args = compile_args(e)
        seen = {stage_folder[a[2:]] for a in args if a.startswith("-I") and a[2:] in stage_folder}
        seen |= {stage_folder[b] for a, b in zip(args, args[1:]) if a in ("-I", "-isystem") and b in stage_folder}
        above = sorted(f for f in seen if LAYERS[f] > LAYERS[rel[1]])
        if above:
            errors.append(f"{'/'.join(rel)} (a test of {rel[1]}/) sees {', '.join(above)}")

    for e in errors:
        print(e)
    print(f"{len(jobs)} include probes, {len(errors)} breaches")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
