#!/usr/bin/env python3
# bench/python_bench.py -- what the Python package costs per value write and read: `prop.value = 5` and
# `prop.value` on an Int32 property, timed per call with perf_counter_ns loops, against qxPropSetVal and
# qxPropGetVal looped natively (inside the extension, no Python per call) on the same property in the same
# process and run. The extension's own functions are timed too, to show where the time goes. Prints its log,
# then "---- summary ----" and a Markdown table, as the C++ programs do.
#   PYTHONPATH=build/python:python /usr/bin/python3 bench/python_bench.py [repetitions]
import statistics
import sys
import time

import _qxprop
import qxprop

ITERATIONS = 200_000


def per_call_ns(loop, n=ITERATIONS):
    start = time.perf_counter_ns()
    loop(n)
    return (time.perf_counter_ns() - start) / n


def main():
    repetitions = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    with qxprop.List("bench") as lst:
        prop = lst.add_property("gain", qxprop.INT32, 0)

        def py_set(n):
            p = prop
            for _ in range(n):
                p.value = 5

        def py_get(n):
            p = prop
            for _ in range(n):
                p.value

        def py_path_set(n):
            for _ in range(n):
                lst["gain"] = 5

        # The extension alone (argument conversion, GIL release, error check), without the package's Python.
        handle, set_value, get_value = prop.handle, _qxprop.set_value, _qxprop.get_value

        def ext_set(n):
            for _ in range(n):
                set_value(handle, 0, 5, 1, False)

        def ext_get(n):
            for _ in range(n):
                get_value(handle, 0, 1)

        runs = {"set": [], "get": [], "path": [], "ext_set": [], "ext_get": [], "c_set": [], "c_get": []}
        py_set(1000), py_get(1000)  # warm up
        for rep in range(repetitions):
            runs["set"].append(per_call_ns(py_set))
            runs["get"].append(per_call_ns(py_get))
            runs["path"].append(per_call_ns(py_path_set, ITERATIONS // 4))
            runs["ext_set"].append(per_call_ns(ext_set))
            runs["ext_get"].append(per_call_ns(ext_get))
            c_set, c_get = _qxprop.native_set_get_ns(prop.handle, ITERATIONS * 5)
            runs["c_set"].append(c_set)
            runs["c_get"].append(c_get)
            print(f"repetition {rep}: " + ", ".join(f"{k} {v[-1]:.1f} ns" for k, v in runs.items()), file=sys.stderr)
    med = {k: statistics.median(v) for k, v in runs.items()}
    rows = [
        ("`prop.value = 5`", med["set"], "qxPropSetVal", med["c_set"]),
        ("`prop.value`", med["get"], "qxPropGetVal", med["c_get"]),
        ('`lst["gain"] = 5` (lookup by name, then set)', med["path"], "qxPropSetVal", med["c_set"]),
        ("`_qxprop.set_value` (the extension alone)", med["ext_set"], "qxPropSetVal", med["c_set"]),
        ("`_qxprop.get_value` (the extension alone)", med["ext_get"], "qxPropGetVal", med["c_get"]),
    ]
    print("---- summary ----")
    print("### python_bench")
    print()
    print(f"Python {sys.version.split()[0]}; median of {repetitions} repetitions; C baseline looped natively on the "
          "same Int32 property in the same process.")
    print()
    print("| benchmark | median ns per call | baseline (C) | baseline ns | ratio |")
    print("|---|---:|---|---:|---:|")
    for name, ns, base, base_ns in rows:
        print(f"| {name} | {ns:.1f} | {base} | {base_ns:.1f} | {ns / base_ns:.1f} |")
    print()
    print("No target: the ratios are reported, not judged.")


if __name__ == "__main__":
    main()
