"""What the Python drivers' runners share: the plan the test writes, the canonical text of a
value, and one line of JSON per step on standard output.

A plan is a JSON object: host, port, user, password, database, encrypt (true or false) and the
steps, each {"name", "kind", ...}. The runner answers each step with
{"name", "result", "line", "messages", "ms"}: the canonical text of what the step gave, the line of
an error where the driver tells it (null where it does not), the info messages in order, and the
milliseconds it took (reported, never judged).
"""

import datetime
import decimal
import json
import sys
import time

SKIP = 77  # the exit code of a runner whose driver is not installed


def load_plan():
    with open(sys.argv[1], encoding="utf-8") as f:
        return json.load(f)


def text_of(value):
    """One value as every runner writes it: NULL, 1/0 for bit, decimals with their scale,
    date and time to the millisecond."""
    if value is None:
        return "NULL"
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, decimal.Decimal):
        return str(value)
    if isinstance(value, datetime.datetime):
        return value.strftime("%Y-%m-%d %H:%M:%S") + ".%03d" % (value.microsecond // 1000)
    if isinstance(value, datetime.date):
        return value.isoformat()
    if isinstance(value, float):
        return repr(value)
    if isinstance(value, (bytes, bytearray)):
        return "0x" + value.hex().upper()
    return str(value)


def rows_text(rows):
    return ";".join("|".join(text_of(v) for v in row) for row in rows)


def answer(name, result, line=None, messages=None, ms=None):
    print(json.dumps({"name": name, "result": result, "line": line, "messages": messages or [],
                      "ms": ms}, ensure_ascii=False), flush=True)


class Clock:
    def __init__(self):
        self.start = time.monotonic()

    def ms(self):
        return round((time.monotonic() - self.start) * 1000, 1)


def run_steps(runner, errors):
    """Every step of the runner's plan in order, connecting first where a step needs a connection
    (a login step makes its own); a connection that fails answers the step with its error."""
    for s in runner.plan["steps"]:
        if runner.conn is None and s["kind"] != "login":
            try:
                runner.conn = runner.connect()
            except errors as e:
                answer(s["name"], "connect " + runner.error_text(e))
                continue
        runner.step(s)
