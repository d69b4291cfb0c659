"""What the two standalone end-to-end scripts share (ime_commit.py, wayland_start.py)."""
import os
import time


class Failure(Exception):
    pass


def wait_for(what, predicate, timeout):
    """Polls predicate until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)


def leak_suppressions(own, directory):
    """LSAN_OPTIONS for the program: those of the caller (a sanitizer build's test preset), with
    its suppressions file and ours merged into one file in directory, which the program's user
    can read wherever the source tree lies."""
    options = [option for option in os.environ.get("LSAN_OPTIONS", "").split(":") if option]
    lines = []
    for option in options:
        if option.startswith("suppressions="):
            with open(option[len("suppressions="):]) as theirs:
                lines.append(theirs.read())
    with open(own) as ours:
        lines.append(ours.read())
    merged = os.path.join(directory, "lsan.supp")
    with open(merged, "w") as file:
        file.write("\n".join(lines))
    return ":".join([option for option in options if not option.startswith("suppressions=")]
                    + ["suppressions=" + merged])
