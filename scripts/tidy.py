#!/usr/bin/env python3
"""clang-tidy over every translation unit of the product under src/, as the build folder compiles
it (its compile_commands.json), in parallel.

A translation unit found clean is remembered by a digest of its preprocessed text (without line
markers, so that the checkout's place does not matter), the checks' configuration and clang-tidy's
version; it is checked again only when one of them changes. The record lives in
$FORMULE_TIDY_CACHE (default ~/.cache/formule-tidy); removing it checks everything again.

Usage: tidy.py BUILD_DIR       Prints the findings and exits 1 when there are any."""

import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys


def compile_args(entry):
    args = entry.get("arguments") or shlex.split(entry["command"])
    out, skip = [], False
    for a in args:
        if skip:
            skip = False
            continue
        if a in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
            continue
        if a in ("-c", "-MD", "-MMD"):
            continue
        out.append(a)
    return out


def digest(entry, salt):
    run = subprocess.run(compile_args(entry) + ["-E", "-P", "-o", "-"], cwd=entry["directory"],
                         capture_output=True)
    if run.returncode != 0:
        return None
    return hashlib.sha256(salt + run.stdout).hexdigest()


def tidy(build, entry):
    run = subprocess.run(["clang-tidy", "-p", build, "--quiet", entry["file"]], capture_output=True,
                         text=True)
    findings = [line for line in run.stdout.splitlines() if "warning:" in line or "error:" in line]
    return run.returncode == 0 and not findings, run.stdout + run.stderr


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    src = os.path.join(os.getcwd(), "src") + os.sep
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = [e for e in json.load(f) if e["file"].startswith(src)]
    version = subprocess.run(["clang-tidy", "--version"], capture_output=True).stdout
    with open(".clang-tidy", "rb") as f:
        salt = hashlib.sha256(version + f.read()).digest()
    cache = os.environ.get("FORMULE_TIDY_CACHE", os.path.expanduser("~/.cache/formule-tidy"))
    os.makedirs(cache, exist_ok=True)
    jobs = os.cpu_count() or 2
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        keys = list(pool.map(lambda e: digest(e, salt), entries))
        todo = [(e, k) for e, k in zip(entries, keys) if k is None or not os.path.exists(os.path.join(cache, k))]
        print(f"clang-tidy: {len(entries)} translation units, {len(entries) - len(todo)} unchanged since found "
              f"clean, {len(todo)} to check", file=sys.stderr)
        failed = 0
        for (entry, key), (clean, output) in zip(todo, pool.map(lambda t: tidy(build, t[0]), todo)):
            if clean:
                if key:
                    open(os.path.join(cache, key), "w").close()
            else:
                failed += 1
                print(output, end="")
    if failed:
        print(f"clang-tidy: findings in {failed} translation units", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
