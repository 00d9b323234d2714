# Shared pieces of the qxprop package's tests: a fresh list per test, and a runner for scenarios that must
# end in time even when a fault would hang them (a thread stuck in C while holding the GIL stops every
# thread of its process, the test's own timeout included, so such scenarios run in a child process).
import os
import subprocess
import sys
import textwrap

import pytest
import qxprop


@pytest.fixture
def lst():
    with qxprop.List("t") as created:
        yield created


def run_isolated(code: str, timeout: float = 30.0) -> str:
    """Runs code in a child interpreter; fails the test on a non-zero exit or when the time runs out."""
    try:
        done = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                              timeout=timeout, env=dict(os.environ))
    except subprocess.TimeoutExpired:
        pytest.fail(f"child did not finish within {timeout} s (a thread waits in C holding the GIL?)")
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout
