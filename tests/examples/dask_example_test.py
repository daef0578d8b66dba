#!/usr/bin/env python3
"""The Dask example against mailsift scan: a real scheduler with two workers,
then a LocalCluster, over a generated corpus spread across many files, must
give byte for byte the lists that `mailsift scan --list=both` prints.

    dask_example_test.py MAILSIFT EXAMPLE_SCRIPT
"""

import gzip
import os
import random
import subprocess
import sys
import tempfile
import time

MAILSIFT, SCRIPT = sys.argv[1], sys.argv[2]


def corpus(folder, files=120, seed=7):
    """Files with addresses that repeat across them, in the forms the
    scanner reads: plain, spelled out, unknown top-level domains, umlauts
    (Windows-1252 bytes), a gzip'd file, a name with a blank, and one path
    that does not exist."""
    rng = random.Random(seed)
    people = [f"user{n}" for n in range(60)] + ["m\xfcller", "\xe4rger", "zo\xeb"]
    domains = ["example.com", "example.org", "mail.example.net", "corp.example.invalid", "ex.zzz", "b\xfcro.de", "bz.example.com"]
    paths = []
    for n in range(files):
        words = []
        for _ in range(rng.randrange(0, 40)):
            user, domain = rng.choice(people), rng.choice(domains)
            form = rng.randrange(4)
            if form == 0:
                words.append(f"{user}@{domain}")
            elif form == 1:
                words.append(f"{user}(at){domain.replace('.', '[dot]')}")
            elif form == 2:
                words.append(f"<{user.upper()}@{domain}>,")
            else:
                words.append(rng.choice(["hello", "x@", "@y", "a.b", "--", "(at)"]))
        data = " ".join(words).encode("cp1252")
        name = f"part {n:03}.txt" if n % 17 == 0 else f"part{n:03}.txt"
        path = os.path.join(folder, name)
        if n % 10 == 3:
            path += ".gz"
            data = gzip.compress(data)
        with open(path, "wb") as out:
            out.write(data)
        paths.append(path)
    paths.insert(5, os.path.join(folder, "missing.txt"))
    return paths


def lines(data):
    return data.count(b"\n")


def run(command, **kwargs):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300, check=False, **kwargs)


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        files = corpus(folder)
        expected = run([MAILSIFT, "scan", "--list=both", "--", *files])
        assert expected.returncode == 2, expected.stderr  # the missing file
        assert expected.stdout.count(b"\n") > 100, "the corpus gives too few entries to compare"
        env = dict(os.environ, PATH=os.path.dirname(MAILSIFT) + os.pathsep + os.environ.get("PATH", ""))

        scheduler_file = os.path.join(folder, "scheduler.json")
        processes = [
            subprocess.Popen(
                [sys.executable, "-m", "distributed.cli.dask_scheduler", "--scheduler-file", scheduler_file,
                 "--host", "127.0.0.1", "--port", "0", "--no-dashboard"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        ]
        try:
            deadline = time.monotonic() + 60
            while not os.path.exists(scheduler_file) and time.monotonic() < deadline:
                time.sleep(0.2)
            for _ in range(2):
                processes.append(subprocess.Popen(
                    [sys.executable, "-m", "distributed.cli.dask_worker", "--scheduler-file", scheduler_file,
                     "--nthreads", "1", "--no-dashboard"],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env))
            cases = [
                ("a scheduler with two workers", ["--scheduler", scheduler_file, "--partitions", "7"]),
                ("a LocalCluster", ["--workers", "2"]),
            ]
            for name, args in cases:
                got = run([sys.executable, SCRIPT, "--mailsift", MAILSIFT, *args, "--", *files], env=env)
                if got.returncode != 0 or got.stdout != expected.stdout:
                    failures += 1
                    print(f"FAIL: {name}: exit {got.returncode}\n{got.stderr.decode(errors='replace')[-2000:]}")
                    print(f"  expected {lines(expected.stdout)} lines, got {lines(got.stdout)}")
                else:
                    print(f"ok: {name}: {lines(expected.stdout)} lines equal")
        finally:
            for process in reversed(processes):
                process.terminate()
            for process in processes:
                try:
                    process.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    process.kill()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
