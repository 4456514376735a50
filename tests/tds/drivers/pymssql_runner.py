"""The driver table's runner for pymssql (FreeTDS's DB-Library underneath): every step of the
plan on one connection, the encryption chosen through a FreeTDS configuration of its own."""

import os
import re
import sys
import tempfile
import threading
import time

import driver_common as common

try:
    import pymssql
except ImportError:
    print("pymssql is not installed (Debian package python3-pymssql)", file=sys.stderr)
    sys.exit(common.SKIP)


class Runner:
    def __init__(self, plan):
        self.plan = plan
        self.conn = None
        self.messages = []
        # FreeTDS reads its configuration from the file FREETDSCONF names: the encryption is
        # chosen there ("require" encrypts the session, "off" asks for none).
        conf = tempfile.NamedTemporaryFile("w", suffix=".conf", delete=False)
        conf.write("[global]\n\ttds version = 7.4\n\tencryption = %s\n"
                   % ("require" if plan["encrypt"] else "off"))
        conf.close()
        os.environ["FREETDSCONF"] = conf.name

    def connect(self, password=None, timeout=0):
        conn = pymssql.connect(server=self.plan["host"], port=str(self.plan["port"]),
                               user=self.plan["user"],
                               password=self.plan["password"] if password is None else password,
                               database=self.plan["database"], tds_version="7.3", autocommit=True,
                               login_timeout=10, timeout=timeout)
        conn._conn.set_msghandler(self.on_message)
        return conn

    def on_message(self, state, severity, server, procedure, line, text):
        if severity <= 10:
            self.messages.append(text.decode("utf-8", "replace") if isinstance(text, bytes) else text)

    def error_text(self, e):
        inner = e.args[0] if e.args else None
        if isinstance(inner, int) and len(e.args) > 1:
            text = e.args[1].decode("utf-8", "replace") if isinstance(e.args[1], bytes) else str(e.args[1])
            text = text.split("DB-Lib error message")[0].strip()
            return "error %d: %s" % (inner, text)
        return "error: %s" % e

    @staticmethod
    def line_of(e):
        # pymssql raises its DB-API error from the exception of _mssql, which has the line.
        cause = e.__cause__ or e.__context__
        return getattr(cause, "line", None) or getattr(e, "line", None) or None

    def run_sql(self, sql):
        cursor = self.conn.cursor()
        cursor.execute(sql)
        sets = []
        while True:
            if cursor.description:
                sets.append(common.rows_text(cursor.fetchall()))
            if not cursor.nextset():
                break
        return " // ".join(sets)

    def step(self, s):
        kind = s["kind"]
        self.messages = []
        clock = common.Clock()
        line = None
        try:
            if kind == "login":
                conn = self.connect(s.get("password"))
                conn.close()
                result = "ok"
            elif kind == "query":
                result = self.run_sql(s["sql"])
            elif kind == "params":
                sql = re.sub(r"@(\w+)", r"%(\1)s", s["sql"])
                cursor = self.conn.cursor()
                cursor.execute(sql, {p["name"]: p["value"] for p in s["params"]})
                result = common.rows_text(cursor.fetchall())
            elif kind == "transaction":
                result = self.transaction()
            elif kind == "rows":
                cursor = self.conn.cursor()
                cursor.execute(s["sql"])
                rows = cursor.fetchall()
                result = "%d rows, first %s, last %s" % (
                    len(rows), common.rows_text(rows[:1]), common.rows_text(rows[-1:]))
            elif kind == "cancel":
                result, ms = self.cancel(s)
                common.answer(s["name"], result, None, self.messages, ms)
                return
            else:
                result = "unknown step kind " + kind
        except pymssql.Error as e:
            result = self.error_text(e)
            line = self.line_of(e)
        common.answer(s["name"], result, line, self.messages, clock.ms())

    def transaction(self):
        cursor = self.conn.cursor()
        cursor.execute("CREATE TABLE #tx (a INT)")
        self.conn.autocommit(False)
        cursor.execute("INSERT INTO #tx VALUES (1)")
        self.conn.rollback()
        cursor.execute("SELECT COUNT(*) FROM #tx")
        after_rollback = cursor.fetchone()[0]
        cursor.execute("INSERT INTO #tx VALUES (2)")
        self.conn.commit()
        self.conn.autocommit(True)
        cursor.execute("SELECT COUNT(*), @@TRANCOUNT FROM #tx")
        after_commit = common.rows_text([cursor.fetchone()])
        cursor.execute("DROP TABLE #tx")
        return "%s; %s" % (after_rollback, after_commit)

    def cancel(self, s):
        # DB-Library's own cancel, dbcancel, sent from a second thread while the batch runs.
        cancelled_at = []

        def cancel_later():
            time.sleep(s["after_ms"] / 1000)
            cancelled_at.append(time.monotonic())
            self.conn._conn.cancel()

        t = threading.Thread(target=cancel_later)
        t.start()
        try:
            self.run_sql(s["sql"])
            outcome = "finished"
        except pymssql.Error as e:
            outcome = "cancelled" if cancelled_at else self.error_text(e)
        done = time.monotonic()
        t.join()
        ms = round((done - cancelled_at[0]) * 1000, 1) if cancelled_at else None
        try:
            nxt = self.run_sql(s["next"])
        except pymssql.Error as e:
            nxt = self.error_text(e)
        return "%s; next %s" % (outcome, nxt), ms

    def run(self):
        common.run_steps(self, pymssql.Error)


if __name__ == "__main__":
    Runner(common.load_plan()).run()
