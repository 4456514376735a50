// The driver table's runner for tedious, the TDS driver of Node.js written in JavaScript: every
// step of the plan on one connection. tedious is looked up in the folder TEDIOUS_MODULES names
// (scripts/install-deps.sh installs it there with npm).
'use strict';

const fs = require('fs');
const path = require('path');

const SKIP = 77;
let tedious;
try {
  tedious = require(path.join(process.env.TEDIOUS_MODULES || '', 'tedious'));
} catch (e) {
  console.error('tedious is not installed (npm install tedious into ' + process.env.TEDIOUS_MODULES + ')');
  process.exit(SKIP);
}
const { Connection, Request, TYPES } = tedious;

const plan = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));

function pad(n, width) {
  return String(n).padStart(width, '0');
}

// One value as every runner writes it (see driver_common.py).
function textOf(value, meta) {
  if (value === null || value === undefined) return 'NULL';
  const type = meta.type.name;
  if (typeof value === 'boolean') return value ? '1' : '0';
  if (type === 'Money' || type === 'SmallMoney') return value.toFixed(4);
  if (type === 'Decimal' || type === 'Numeric' || type === 'DecimalN' || type === 'NumericN')
    return value.toFixed(meta.scale);
  if (value instanceof Date) {
    // tedious reads date and time types as UTC.
    const d = value;
    const day = pad(d.getUTCFullYear(), 4) + '-' + pad(d.getUTCMonth() + 1, 2) + '-' + pad(d.getUTCDate(), 2);
    if (type === 'Date') return day;
    return day + ' ' + pad(d.getUTCHours(), 2) + ':' + pad(d.getUTCMinutes(), 2) + ':' +
      pad(d.getUTCSeconds(), 2) + '.' + pad(d.getUTCMilliseconds(), 3);
  }
  if (Buffer.isBuffer(value)) return '0x' + value.toString('hex').toUpperCase();
  return String(value);
}

function answer(name, result, line, messages, ms) {
  process.stdout.write(JSON.stringify({ name, result, line: line || null, messages: messages || [],
                                        ms: ms === undefined ? null : ms }) + '\n');
}

function connect(password) {
  return new Promise((resolve, reject) => {
    const conn = new Connection({
      server: plan.host,
      authentication: { type: 'default', options: { userName: plan.user,
        password: password === undefined ? plan.password : password } },
      options: { port: plan.port, database: plan.database, encrypt: plan.encrypt,
                 trustServerCertificate: true, connectTimeout: 10000, requestTimeout: 0,
                 cancelTimeout: 5000 },
    });
    conn.messages = [];
    conn.on('infoMessage', (m) => conn.messages.push(m.message));
    conn.on('error', () => {});
    conn.connect((err) => (err ? reject(err) : resolve(conn)));
  });
}

function errorText(err) {
  if (err && err.number) return 'error ' + err.number + ': ' + err.message;
  if (err && err.errors) return 'error: ' + err.errors.map((e) => e.message).join('; ');
  return 'error: ' + (err && err.message);
}

// Runs `sql`; resolves with the result sets' text, or rejects with the request's error.
function run(conn, sql, params) {
  return new Promise((resolve, reject) => {
    const sets = [];
    let rows = null;
    const request = new Request(sql, (err) => {
      if (rows) sets.push(rows);
      if (err) reject(err);
      else resolve(sets);
    });
    for (const p of params || [])
      request.addParameter(p.name, p.type === 'int' ? TYPES.Int : TYPES.NVarChar, p.value);
    request.on('columnMetadata', () => {
      if (rows) sets.push(rows);
      rows = [];
    });
    request.on('row', (columns) => rows.push(columns.map((c) => textOf(c.value, c.metadata))));
    if (params) conn.execSql(request);
    else conn.execSqlBatch(request);
  });
}

const rowsText = (rows) => rows.map((r) => r.join('|')).join(';');

function tx(conn, method, ...args) {
  return new Promise((resolve, reject) => conn[method](...args, (err) => (err ? reject(err) : resolve())));
}

async function transaction(conn) {
  await run(conn, 'CREATE TABLE #tx (a INT)');
  await tx(conn, 'beginTransaction');
  await run(conn, 'INSERT INTO #tx VALUES (1)');
  await tx(conn, 'rollbackTransaction');
  const afterRollback = rowsText((await run(conn, 'SELECT COUNT(*) FROM #tx'))[0]);
  await tx(conn, 'beginTransaction');
  await run(conn, 'INSERT INTO #tx VALUES (2)');
  await tx(conn, 'commitTransaction');
  const afterCommit = rowsText((await run(conn, 'SELECT COUNT(*), @@TRANCOUNT FROM #tx'))[0]);
  await run(conn, 'DROP TABLE #tx');
  return afterRollback + '; ' + afterCommit;
}

// tedious's cancel: an attention packet, then it waits for the server's acknowledgement.
async function cancel(conn, step) {
  let cancelledAt = null;
  const timer = setTimeout(() => {
    cancelledAt = process.hrtime.bigint();
    conn.cancel();
  }, step.after_ms);
  let outcome;
  try {
    await run(conn, step.sql);
    outcome = 'finished';
  } catch (err) {
    outcome = err.code === 'ECANCEL' ? 'cancelled' : errorText(err);
  }
  const done = process.hrtime.bigint();
  clearTimeout(timer);
  const ms = cancelledAt === null ? null : Math.round(Number(done - cancelledAt) / 1e5) / 10;
  let next;
  try {
    next = (await run(conn, step.next)).map(rowsText).join(' // ');
  } catch (err) {
    next = errorText(err);
  }
  return [outcome + '; next ' + next, ms];
}

async function step(conn, s) {
  const start = process.hrtime.bigint();
  const elapsed = () => Math.round(Number(process.hrtime.bigint() - start) / 1e5) / 10;
  if (conn) conn.messages = [];
  let result;
  let line = null;
  try {
    if (s.kind === 'login') {
      (await connect(s.password)).close();
      result = 'ok';
    } else if (s.kind === 'query') {
      result = (await run(conn, s.sql)).map(rowsText).join(' // ');
    } else if (s.kind === 'params') {
      result = rowsText((await run(conn, s.sql, s.params))[0]);
    } else if (s.kind === 'transaction') {
      result = await transaction(conn);
    } else if (s.kind === 'rows') {
      const rows = (await run(conn, s.sql))[0];
      result = rows.length + ' rows, first ' + rowsText(rows.slice(0, 1)) + ', last ' + rowsText(rows.slice(-1));
    } else if (s.kind === 'cancel') {
      const [text, ms] = await cancel(conn, s);
      answer(s.name, text, null, conn.messages, ms);
      return;
    } else {
      result = 'unknown step kind ' + s.kind;
    }
  } catch (err) {
    result = errorText(err);
    line = err.lineNumber || null;
  }
  answer(s.name, result, line, conn ? conn.messages : [], elapsed());
}

(async () => {
  let conn = null;
  for (const s of plan.steps) {
    if (!conn && s.kind !== 'login') {
      try {
        conn = await connect();
      } catch (err) {
        answer(s.name, 'connect ' + errorText(err));
        continue;
      }
    }
    await step(conn, s);
  }
  if (conn) conn.close();
})();
