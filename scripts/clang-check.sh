#!/usr/bin/env bash
# Compiles every C++ source of the Windows build once more with clang for the same mingw-w64
# target (syntax and warnings, warnings as errors), so that nothing relies on one compiler's
# leniency. Reads the commands of an already configured build (default build/win).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win}
gcc_include=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ | head -1)
python3 - "$build/compile_commands.json" "$gcc_include" <<'PY'
import json, shlex, subprocess, sys
from concurrent.futures import ThreadPoolExecutor
entries, cxx = json.load(open(sys.argv[1])), sys.argv[2]
base = ["clang++", "--target=x86_64-w64-mingw32", "-fsyntax-only", "-isystem", cxx,
        "-isystem", cxx + "/x86_64-w64-mingw32", "-isystem", "/usr/x86_64-w64-mingw32/include"]
def command(entry):
    words, kept, skip = shlex.split(entry["command"]), [], False
    for word in words[1:]:
        if skip: skip = False; continue
        if word in ("-MT", "-MF", "-o"): skip = True; continue
        if word in ("-MD", "-c") or word == entry["file"]: continue
        kept.append(word)
    return base + kept + [entry["file"]]
def check(entry):
    run = subprocess.run(command(entry), cwd=entry["directory"], capture_output=True, text=True)
    return entry["file"], run.returncode, run.stderr
sources = [e for e in entries if e["file"].endswith(".cpp") and "/googletest/" not in e["file"]]
failed = 0
with ThreadPoolExecutor(2) as pool:
    for name, code, errors in pool.map(check, sources):
        if code or errors:
            failed += 1
            print(f"clang: {name}\n{errors}", end="")
print(f"clang check: {len(sources) - failed} of {len(sources)} sources clean")
sys.exit(1 if failed else 0)
PY
