#!/usr/bin/env python3
"""clang-tidy over the sources a build compiles, remembering the files it passed.

Usage: clang_tidy_cached.py BUILD_DIR PATH_REGEX CACHE_DIR JOBS

Each translation unit whose path matches PATH_REGEX is keyed by what it preprocesses to: the
content of every file it includes, as the build's dependency file lists them (or, without one,
its preprocessed text with comments, so a NOLINT counts), its compile flags, the .clang-tidy file
and clang-tidy's version; the clone's own path is taken out, so another clone of the same sources
hits. A key found in CACHE_DIR
passed before and is not checked again; a unit that passes now is added. A finding is never
cached, so it fails every run until it is fixed. Exits 1 on any finding, printing them.
"""

import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

# Entries unused this long are dropped, so the cache does not grow without end.
STALE_SECONDS = 30 * 24 * 3600


def command_words(entry):
    if "arguments" in entry:
        return list(entry["arguments"])
    return shlex.split(entry["command"])


def preprocess_words(words):
    """The compile command turned into one that writes the preprocessed unit to stdout."""
    kept = []
    skip = False
    for word in words:
        if skip:
            skip = False
            continue
        if word == "-o":
            skip = True
            continue
        if word == "-c":
            continue
        kept.append(word)
    return kept + ["-E", "-P", "-C", "-o", "-"]


def dependency_paths(entry, words):
    """The files the unit's last compile read, from the .d file g++ wrote beside its object."""
    if "-o" not in words:
        return None
    depfile = os.path.join(entry["directory"], words[words.index("-o") + 1] + ".d")
    try:
        with open(depfile, encoding="utf-8") as file:
            text = file.read().replace("\\\n", " ")
    except OSError:
        return None
    paths = [os.path.normpath(os.path.join(entry["directory"], word))
             for word in text.partition(":")[2].split()]
    # A dependency file older than its source belongs to an earlier version of it.
    if not paths or not os.path.exists(entry["file"]) or \
            os.path.getmtime(depfile) < os.path.getmtime(entry["file"]):
        return None
    return paths


FILE_DIGESTS = {}


def file_digest(path):
    if path not in FILE_DIGESTS:
        with open(path, "rb") as file:
            FILE_DIGESTS[path] = hashlib.sha256(file.read()).digest()
    return FILE_DIGESTS[path]


def unit_key(entry, source_root, shared):
    words = command_words(entry)
    paths = dependency_paths(entry, words)
    if paths is not None:
        digest = hashlib.sha256(shared)
        digest.update(" ".join(words).replace(source_root, "@SRC@").encode())
        try:
            for path in sorted(paths):
                digest.update(b"\0" + path.replace(source_root, "@SRC@").encode() + b"\0")
                digest.update(file_digest(path))
            return "d" + digest.hexdigest()
        except OSError:
            pass  # a header gone since the build: read what the unit includes now
    run = subprocess.run(preprocess_words(words), cwd=entry["directory"], capture_output=True,
                         check=False)
    if run.returncode != 0:
        return None  # clang-tidy will report why it does not compile
    digest = hashlib.sha256(shared)
    for text in (" ".join(words).encode(), run.stdout):
        digest.update(text.replace(source_root.encode(), b"@SRC@"))
        digest.update(b"\0")
    return digest.hexdigest()


def check(entry, build_dir, cache_dir, source_root, shared):
    """None when the unit passes (from the cache or now), else clang-tidy's findings."""
    key = unit_key(entry, source_root, shared)
    mark = os.path.join(cache_dir, key) if key else None
    if mark and os.path.exists(mark):
        os.utime(mark)
        return None, True
    run = subprocess.run(["clang-tidy", "-p", build_dir, "--quiet",
                          "--extra-arg=-Wno-unknown-warning-option", entry["file"]],
                         capture_output=True, text=True, check=False)
    output = run.stdout + run.stderr
    if run.returncode != 0 or re.search(r"(warning|error):", output):
        return output, False
    if mark:
        with open(mark, "w", encoding="utf-8"):
            pass
    return None, False


def main():
    build_dir, path_regex, cache_dir, jobs = sys.argv[1:5]
    build_dir = os.path.abspath(build_dir)
    source_root = os.getcwd()
    os.makedirs(cache_dir, exist_ok=True)
    with open(os.path.join(build_dir, "compile_commands.json"), encoding="utf-8") as file:
        entries = [e for e in json.load(file) if re.search(path_regex, e["file"])]
    version = subprocess.run(["clang-tidy", "--version"], capture_output=True, check=True).stdout
    with open(".clang-tidy", "rb") as file:
        shared = version + b"\0" + file.read() + b"\0"

    with ThreadPoolExecutor(max_workers=int(jobs)) as pool:
        results = list(pool.map(
            lambda e: check(e, build_dir, cache_dir, source_root, shared), entries))
    findings = [output for output, _ in results if output is not None]
    cached = sum(1 for _, hit in results if hit)
    now = time.time()
    for name in os.listdir(cache_dir):
        path = os.path.join(cache_dir, name)
        if now - os.path.getmtime(path) > STALE_SECONDS:
            os.remove(path)
    print(f"clang-tidy: {len(entries)} files, {cached} passed before and unchanged, "
          f"{len(findings)} with findings")
    for output in findings:
        print(output, file=sys.stderr)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
