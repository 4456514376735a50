"""The driver table's runner for ODBC: pyodbc through unixODBC and FreeTDS's ODBC driver, every
step of the plan on one connection."""

import re
import sys
import threading
import time

import driver_common as common

try:
    import pyodbc
except ImportError:
    print("pyodbc is not installed (Debian package python3-pyodbc)", file=sys.stderr)
    sys.exit(common.SKIP)

if "FreeTDS" not in pyodbc.drivers():
    print("FreeTDS's ODBC driver is not registered with unixODBC (package tdsodbc)", file=sys.stderr)
    sys.exit(common.SKIP)

# "[42S02] [FreeTDS][SQL Server]Invalid object name 'X'. (208) (SQLExecDirectW)"
SERVER_ERROR = re.compile(r"\[SQL Server\](.*?) \((\d+)\)", re.S)


class Runner:
    def __init__(self, plan):
        self.plan = plan
        self.conn = None

    def connect(self, password=None):
        # Without encryption FreeTDS is left at "request": it says ENCRYPT_OFF, and a server with a
        # certificate then has the login alone encrypted.
        p = self.plan
        text = ("DRIVER={FreeTDS};SERVER=%s;PORT=%d;UID=%s;PWD={%s};DATABASE=%s;TDS_Version=7.4;"
                "ClientCharset=UTF-8;Encryption=%s" % (
                    p["host"], p["port"], p["user"],
                    (p["password"] if password is None else password).replace("}", "}}"),
                    p["database"], "require" if p["encrypt"] else "request"))
        return pyodbc.connect(text, autocommit=True, timeout=10)

    def error_text(self, e):
        text = str(e.args[1]) if len(e.args) > 1 else str(e)
        m = SERVER_ERROR.search(text)
        return "error %s: %s" % (m.group(2), m.group(1)) if m else "error: " + text

    @staticmethod
    def messages_of(cursor):
        out = []
        for _, text in getattr(cursor, "messages", None) or []:
            m = re.search(r"\[SQL Server\](.*)$", text, re.S)
            out.append(m.group(1) if m else text)
        return out

    def run_sql(self, cursor, sql):
        cursor.execute(sql)
        sets, messages = [], self.messages_of(cursor)
        while True:
            if cursor.description:
                sets.append(common.rows_text(cursor.fetchall()))
            if not cursor.nextset():
                break
            messages += self.messages_of(cursor)
        return " // ".join(sets), messages

    def step(self, s):
        kind = s["kind"]
        clock = common.Clock()
        messages = []
        cursor = self.conn.cursor() if self.conn else None
        try:
            if kind == "login":
                self.connect(s.get("password")).close()
                result = "ok"
            elif kind == "query":
                result, messages = self.run_sql(cursor, s["sql"])
            elif kind == "params":
                names = re.findall(r"@(\w+)", s["sql"])
                values = {p["name"]: p["value"] for p in s["params"]}
                cursor.execute(re.sub(r"@\w+", "?", s["sql"]), *[values[n] for n in names])
                result = common.rows_text(cursor.fetchall())
            elif kind == "transaction":
                result = self.transaction(cursor)
            elif kind == "rows":
                cursor.execute(s["sql"])
                rows = cursor.fetchall()
                result = "%d rows, first %s, last %s" % (
                    len(rows), common.rows_text(rows[:1]), common.rows_text(rows[-1:]))
            elif kind == "cancel":
                result, ms = self.cancel(s)
                common.answer(s["name"], result, None, [], ms)
                return
            else:
                result = "unknown step kind " + kind
        except pyodbc.Error as e:
            result = self.error_text(e)
        # ODBC does not hand over the line of a server message.
        common.answer(s["name"], result, None, messages, clock.ms())

    def transaction(self, cursor):
        cursor.execute("CREATE TABLE #tx (a INT)")
        self.conn.autocommit = False
        cursor.execute("INSERT INTO #tx VALUES (1)")
        self.conn.rollback()
        after_rollback = cursor.execute("SELECT COUNT(*) FROM #tx").fetchone()[0]
        cursor.execute("INSERT INTO #tx VALUES (2)")
        self.conn.commit()
        self.conn.autocommit = True
        after_commit = common.rows_text([cursor.execute("SELECT COUNT(*), @@TRANCOUNT FROM #tx").fetchone()])
        cursor.execute("DROP TABLE #tx")
        return "%s; %s" % (after_rollback, after_commit)

    def cancel(self, s):
        # SQLCancel from a second thread while the statement runs, as ODBC allows.
        cursor = self.conn.cursor()
        cancelled_at = []

        def cancel_later():
            time.sleep(s["after_ms"] / 1000)
            cancelled_at.append(time.monotonic())
            cursor.cancel()

        t = threading.Thread(target=cancel_later)
        t.start()
        try:
            self.run_sql(cursor, s["sql"])
            outcome = "finished"
        except pyodbc.Error as e:
            outcome = "cancelled" if cancelled_at else self.error_text(e)
        done = time.monotonic()
        t.join()
        ms = round((done - cancelled_at[0]) * 1000, 1) if cancelled_at else None
        try:
            nxt, _ = self.run_sql(self.conn.cursor(), s["next"])
        except pyodbc.Error as e:
            nxt = self.error_text(e)
        return "%s; next %s" % (outcome, nxt), ms

    def run(self):
        common.run_steps(self, pyodbc.Error)


if __name__ == "__main__":
    Runner(common.load_plan()).run()
