#!/usr/bin/env python3
"""Runs every test program of the CTest labels given once, whole, N at a time.

Under a sanitizer a process start costs more than most test cases (0.5 s against a few ms), so
the sanitizer builds run one process per program instead of CTest's one per case. Each program
runs in the folder and with the environment CTest would give it. Prints the output of every
program that fails and exits 1 when any did.

  python3 scripts/run-test-programs.py BUILD_DIR LABEL_REGEX JOBS
"""
import concurrent.futures
import json
import os
import subprocess
import sys
import time


def programs(build_dir, labels):
    listing = subprocess.run(
        ["ctest", "--test-dir", build_dir, "-L", labels, "--show-only=json-v1"],
        check=True, capture_output=True, text=True).stdout
    found = {}
    for test in json.loads(listing)["tests"]:
        if "command" not in test:
            continue
        props = {p["name"]: p["value"] for p in test.get("properties", [])}
        env = dict(item.split("=", 1) for item in props.get("ENVIRONMENT", []))
        found.setdefault(test["command"][0], (props.get("WORKING_DIRECTORY", build_dir), env))
    return found


def run(program, folder, env):
    started = time.monotonic()
    result = subprocess.run([program, "--gtest_brief=1"], cwd=folder, env={**os.environ, **env},
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            errors="replace")
    return program, result.returncode, result.stdout, time.monotonic() - started


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    build_dir, labels, jobs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    found = programs(build_dir, labels)
    if not found:
        sys.exit(f"no test program carries a label matching {labels} in {build_dir}")
    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for program, code, output, seconds in pool.map(lambda p: run(p, *found[p]), sorted(found)):
            name = os.path.relpath(program, build_dir)
            print(f"{'ok' if code == 0 else 'FAILED'}  {seconds:6.1f} s  {name}", flush=True)
            if code != 0:
                failed.append(name)
                print(output, flush=True)
    print(f"{len(found) - len(failed)} of {len(found)} test programs passed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
