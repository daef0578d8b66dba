#!/usr/bin/env python3
"""mailsift as the per-shard step of a Dask cluster.

Each partition of the input files runs `mailsift extract --format=jsonl` on a
worker; the cluster then keeps the first occurrence of every entry, and the
two lists come out as `mailsift scan --list=both` prints them for the same
files in the same order: List1 (recognised addresses) sorted in mailsift's
order, a blank line, List2 (unrecognised candidates) in the order first found.

    mailsift_dask.py [--scheduler ADDRESS] [--glob PATTERN]... [FILE...]

Without --scheduler, a LocalCluster on this machine does the work; with it,
any running Dask scheduler (tcp://host:8786, or a scheduler file) does, and
every worker must see the files under the same paths and have `mailsift` on
its PATH (or at the path given with --mailsift).
"""

import argparse
import base64
import glob
import json
import os
import subprocess
import sys

import dask.bag as db
from distributed import Client, LocalCluster


def extract_partition(files, mailsift, extra_args):
    """Runs mailsift over one partition of (index, path) pairs and yields
    (list, entry, file_index, sequence) for every entry found."""
    files = list(files)
    records = []
    sequence = 0
    # A bounded number of paths per run keeps the command line short.
    for start in range(0, len(files), 512):
        chunk = files[start : start + 512]
        index_of = {}
        for index, path in chunk:
            index_of.setdefault(os.fsencode(path), index)
        command = [mailsift, "extract", "--format=jsonl", *extra_args, "--", *[path for _, path in chunk]]
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
        if done.returncode not in (0, 2):  # 2: a file could not be read; the others are still scanned
            raise RuntimeError(f"mailsift failed ({done.returncode}): {done.stderr.decode(errors='replace')}")
        for line in done.stdout.splitlines():
            item = json.loads(line)
            if item.get("type") != "entry":
                continue
            source = base64.b64decode(item["source_bytes"]) if "source_bytes" in item else os.fsencode(item["source"])
            # The entry's place in the whole job: its file's place in the
            # list of files, then its place in the output.
            records.append((item["list"], item["entry"], index_of[source], sequence))
            sequence += 1
    return records


_FOLDED = ((b"\xc3\xa4", b"a"), (b"\xc3\xb6", b"o"), (b"\xc3\xbc", b"u"))


def list1_key(entry):
    """List1's order: bytes with the UTF-8 "ä", "ö", "ü" read as "a", "o",
    "u"; entries that agree that way are ordered by their own bytes."""
    raw = entry.encode("utf-8")
    folded = raw
    for pair, letter in _FOLDED:
        folded = folded.replace(pair, letter)
    return (folded, raw)


def sift(files, client, mailsift="mailsift", extra_args=(), partitions=None):
    """Returns (list1, list2) for `files`, scanned on the cluster of `client`."""
    indexed = list(enumerate(files))
    if not indexed:
        return [], []
    count = partitions or max(1, min(len(indexed), 4 * max(1, len(client.nthreads()))))
    bag = db.from_sequence(indexed, npartitions=count)
    records = bag.map_partitions(extract_partition, mailsift, list(extra_args))
    # The engine removes the duplicates: of each (list, entry), the first
    # occurrence stays.
    first = records.foldby(
        key=lambda record: (record[0], record[1]),
        binop=lambda best, record: min(best, (record[2], record[3])),
        initial=(float("inf"), 0),
        combine=min,
        combine_initial=(float("inf"), 0),
    )
    unique = first.compute()
    list1 = sorted((entry for (kind, entry), _ in unique if kind == "found"), key=list1_key)
    list2 = [entry for (kind, entry), _ in sorted(((k, p) for k, p in unique if k[0] == "unknown"), key=lambda x: x[1])]
    return list1, list2


def main(argv=None):
    parser = argparse.ArgumentParser(description="Scans files with mailsift on a Dask cluster.")
    parser.add_argument("files", nargs="*", help="files to scan, in this order")
    parser.add_argument("--glob", action="append", default=[], help="add the files matching PATTERN, sorted (** allowed)")
    parser.add_argument("--scheduler", help="address or scheduler file of a running Dask scheduler")
    parser.add_argument("--workers", type=int, default=None, help="workers of the LocalCluster (default: one per core)")
    parser.add_argument("--partitions", type=int, default=None, help="partitions of the file list")
    parser.add_argument("--mailsift", default="mailsift", help="the mailsift program on the workers")
    parser.add_argument("--rules", choices=["specified", "extended"], default=None)
    parser.add_argument("--decode", choices=["auto", "none"], default=None)
    parser.add_argument("--list1", help="write List1 to this file instead of standard output")
    parser.add_argument("--list2", help="write List2 to this file instead of standard output")
    options = parser.parse_args(argv)

    files = list(options.files)
    for pattern in options.glob:
        files.extend(sorted(glob.glob(pattern, recursive=True)))
    if not files:
        parser.error("no files given")
    extra = []
    if options.rules:
        extra.append("--rules=" + options.rules)
    if options.decode:
        extra.append("--decode=" + options.decode)

    if options.scheduler:
        if options.scheduler.endswith(".json"):
            client = Client(scheduler_file=options.scheduler)
        else:
            client = Client(options.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=options.workers, threads_per_worker=1, dashboard_address=None)
        client = Client(cluster)
    try:
        list1, list2 = sift(files, client, options.mailsift, extra, options.partitions)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    def write(path, entries):
        data = "".join(entry + "\n" for entry in entries).encode("utf-8")
        with open(path, "wb") as out:
            out.write(data)

    if options.list1 or options.list2:
        if options.list1:
            write(options.list1, list1)
        if options.list2:
            write(options.list2, list2)
    else:
        out = sys.stdout.buffer
        out.write("".join(e + "\n" for e in list1).encode("utf-8"))
        out.write(b"\n")
        out.write("".join(e + "\n" for e in list2).encode("utf-8"))
        out.flush()
    sys.stderr.write(f"Found:{len(list1)} Unknown:{len(list2)}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
