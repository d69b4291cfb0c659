#!/usr/bin/env python3
"""Runs one end-to-end case against the real program:

    run_case.py CASE PROGRAM --reference RENDER_REFERENCE [--cal VELMORA_CAL] [--artifacts FOLDER [--keep]]
    run_case.py --list

Exit status 0 when the case passed, 1 when it failed (the first check that did not hold is
printed), 2 on wrong use.
"""

import argparse
import os
import signal
import sys
import time
import traceback

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop  # noqa: E402
import test_desktop  # noqa: E402

# A case that has not finished by then has hung: its desktop is torn down and it fails.
CASE_DEADLINE_SECONDS = 45


class _Stopped(Exception):
    pass


def _stop(signum, _frame):
    raise _Stopped(f"stopped by signal {signum}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", action="store_true", help="print the names of the cases")
    parser.add_argument("case", nargs="?")
    parser.add_argument("program", nargs="?")
    parser.add_argument("--reference", help="the render_reference program")
    parser.add_argument("--cal", help="the velmora-cal program (default: the build tree's)")
    parser.add_argument("--artifacts", help="where a failing case keeps its screenshots and logs")
    parser.add_argument("--keep", action="store_true", help="keep them for a passing case too")
    args = parser.parse_args()
    if args.list:
        print(";".join(test_desktop.CASES))
        return 0
    if args.case not in test_desktop.CASES or args.program is None:
        parser.error(f"name a case ({', '.join(test_desktop.CASES)}) and the program")

    signal.signal(signal.SIGTERM, _stop)
    signal.signal(signal.SIGINT, _stop)
    signal.signal(signal.SIGALRM, _stop)
    signal.alarm(CASE_DEADLINE_SECONDS)

    case = test_desktop.CASES[args.case]
    started = time.monotonic()
    try:
        with desktop.Desktop(args.case, args.program, args.reference, args.artifacts, keep=args.keep,
                             cal=args.cal, **case.desktop) as d:
            case.run(d)
    except desktop.Failure as failure:
        print(f"FAIL {args.case}: {failure}", flush=True)
        return 1
    except _Stopped as stopped:
        print(f"FAIL {args.case}: {stopped} after {time.monotonic() - started:.1f} s", flush=True)
        return 1
    except Exception:
        traceback.print_exc()
        print(f"FAIL {args.case}: the harness raised an error", flush=True)
        return 1
    print(f"PASS {args.case} in {time.monotonic() - started:.1f} s", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
