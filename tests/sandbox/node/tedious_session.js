// Sessions against a running dsadmin-sandbox through tedious, as mssql and other Node
// clients use it. Run by ctest (tds_tedious_tests):
//   node tedious_session.js <scenario> <port> <sa password> <unique suffix>
// Exits 0 when every check of the scenario holds; prints what differed otherwise.
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { Connection, Request, TYPES } = require('tedious');

const [scenario, portText, password, suffix] = process.argv.slice(2);
const port = Number(portText);

function connect(options = {}) {
  const { user = 'sa', pass = password, ...rest } = options;
  const config = {
    server: '127.0.0.1',
    authentication: { type: 'default', options: { userName: user, password: pass } },
    options: { port, encrypt: true, trustServerCertificate: true, connectTimeout: 10000,
               requestTimeout: 10000, ...rest },
  };
  return new Promise((resolve, reject) => {
    const connection = new Connection(config);
    connection.on('error', () => {});
    connection.connect((err) => (err ? reject(err) : resolve(connection)));
  });
}

// Runs one request; resolves with { rows, rowCounts, infos } or rejects with the error.
function run(connection, kind, sql, params = []) {
  return new Promise((resolve, reject) => {
    const rows = [];
    const infos = [];
    const request = new Request(sql, (err, rowCount) => {
      connection.removeListener('infoMessage', onInfo);
      if (err) reject(err);
      else resolve({ rows, rowCount, infos });
    });
    const onInfo = (info) => infos.push(info);
    connection.on('infoMessage', onInfo);
    for (const p of params) request.addParameter(p.name, p.type, p.value);
    request.on('row', (columns) => rows.push(columns.map((c) => c.value)));
    if (kind === 'batch') connection.execSqlBatch(request);
    else connection.execSql(request);
  });
}

const batch = (c, sql) => run(c, 'batch', sql);
const execSql = (c, sql, params) => run(c, 'sql', sql, params);

// Closing a connection is asynchronous on the server: the session may hold its database for
// a moment after the client has gone, and DROP DATABASE waits for it to leave.
const dropDatabase = (c, db, run = batch) => run(c, `DROP DATABASE ${db}`);

function closeAndWait(c) {
  return new Promise((resolve) => {
    c.once('end', resolve);
    c.close();
  });
}

async function expectError(promise, number, message) {
  await assert.rejects(promise, (err) => {
    assert.equal(err.number, number, `error number for: ${err.message}`);
    assert.equal(err.message, message);
    return true;
  });
}

// Calls a procedure by name (an RPC request); resolves with its return status, the error (or
// null) and the informational messages.
function callProcedure(connection, name, params) {
  return new Promise((resolve) => {
    let status = null;
    const infos = [];
    const onInfo = (info) => infos.push(info);
    const request = new Request(name, (err) => {
      connection.removeListener('infoMessage', onInfo);
      resolve({ status, err: err || null, infos });
    });
    connection.on('infoMessage', onInfo);
    // tedious hands the RETURNSTATUS token's value to the final DONEPROC's listeners.
    request.on('doneProc', (rowCount, more, returnStatus) => { status = returnStatus; });
    for (const [n, type, value] of params) request.addParameter(n, type, value);
    connection.callProcedure(request);
  });
}

const getAppLock = (c, resource, mode, timeout = 0, owner = 'Session') =>
  callProcedure(c, 'sp_getapplock', [
    ['Resource', TYPES.NVarChar, resource], ['LockMode', TYPES.VarChar, mode],
    ['LockOwner', TYPES.VarChar, owner], ['LockTimeout', TYPES.Int, timeout]]);
const releaseAppLock = (c, resource) =>
  callProcedure(c, 'sp_releaseapplock',
                [['Resource', TYPES.NVarChar, resource], ['LockOwner', TYPES.VarChar, 'Session']]);
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const scenarios = {
    // sp_getapplock and sp_releaseapplock called as procedures (RPC), and as the batch a
    // deploy script sends: return codes, modes, waiting, deadlock, release at disconnect.
    async appLocks() {
        const lock = `lock_${suffix}`;
        const a = await connect();
        const b = await connect();
        try {
            const granted = await getAppLock(a, lock, 'Exclusive');
            assert.equal(granted.status, 0, String(granted.err));
            assert.equal((await getAppLock(b, lock, 'Exclusive')).status, -1);
            // The name is compared as written: another case is another lock.
            assert.equal((await getAppLock(b, lock.toUpperCase(), 'Exclusive')).status, 0);
            assert.equal((await releaseAppLock(b, lock.toUpperCase())).status, 0);
            const foreign = await releaseAppLock(b, lock);
            assert.equal(foreign.status, -999);
            assert.equal(foreign.err.number, 1223);
            assert.equal(foreign.err.message,
                         `Cannot release the application lock (Database Principal: 'public', ` +
                             `Resource: '${lock}') because it is not currently held.`);
            // Taken twice, released twice.
            assert.equal((await getAppLock(a, lock, 'Exclusive')).status, 0);
            assert.equal((await releaseAppLock(a, lock)).status, 0);
            assert.equal((await getAppLock(b, lock, 'Exclusive')).status, -1);
            // A waiting request is granted after the release and says so with 1.
            const waiting = getAppLock(b, lock, 'Exclusive', 20000);
            await pause(200);
            assert.equal((await releaseAppLock(a, lock)).status, 0);
            assert.equal((await waiting).status, 1);
            assert.equal((await releaseAppLock(b, lock)).status, 0);
            // Shared goes with Shared and Update, not with Exclusive.
            assert.equal((await getAppLock(a, lock, 'Shared')).status, 0);
            assert.equal((await getAppLock(b, lock, 'Update')).status, 0);
            assert.equal((await getAppLock(b, `${lock}x`, 'IntentShared')).status, 0);
            assert.equal((await getAppLock(a, `${lock}x`, 'Exclusive', 100)).status, -1);
            assert.equal((await releaseAppLock(b, lock)).status, 0);
            assert.equal((await releaseAppLock(b, `${lock}x`)).status, 0);
            assert.equal((await releaseAppLock(a, lock)).status, 0);
            // Bad arguments: -999 with SQL Server's messages.
            const transaction = await getAppLock(a, lock, 'Exclusive', 0, 'Transaction');
            assert.equal(transaction.status, -999);
            assert.deepEqual(transaction.infos.map((i) => i.number), [15626]);
            const mode = await getAppLock(a, lock, 'Sideways');
            assert.equal(mode.status, -999);
            assert.equal(mode.err.number, 1225);
            // Two sessions each waiting for the other's lock: the later request is the victim.
            assert.equal((await getAppLock(a, `${lock}1`, 'Exclusive')).status, 0);
            assert.equal((await getAppLock(b, `${lock}2`, 'Exclusive')).status, 0);
            const first = getAppLock(a, `${lock}2`, 'Exclusive', 20000);
            await pause(200);
            assert.equal((await getAppLock(b, `${lock}1`, 'Exclusive', 20000)).status, -3);
            assert.equal((await releaseAppLock(b, `${lock}2`)).status, 0);
            assert.equal((await first).status, 1);
            // The batch form, with the status read back through a variable.
            const viaBatch = await batch(
                b,
                `declare @r int; exec @r = sp_getapplock @Resource = N'${lock}1', ` +
                    `@LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = 0; select @r`);
            assert.deepEqual(viaBatch.rows, [[-1]]);
            // A session that ends gives its locks back.
            await closeAndWait(a);
            const after = await getAppLock(b, `${lock}1`, 'Exclusive', 10000);
            assert.ok(after.status === 0 || after.status === 1, JSON.stringify(after));
        } finally {
            a.close();
            await closeAndWait(b);
        }
    },
    // The views a structure check reads: a table's types from sys.columns and sys.types, its
    // identity column, and its primary key through sys.indexes and sys.index_columns.
    async keyAndTypeViews() {
        const db = `kv_${suffix}`;
        const c = await connect();
        try {
            await batch(c, `CREATE DATABASE ${db}`);
            await batch(c, `USE ${db}`);
            await batch(
                c,
                'CREATE TABLE Person (ID int IDENTITY(1,1), Code char(4) PRIMARY KEY, ' +
                    'Name nvarchar(20), Price decimal(10,2))');
            await batch(c, 'CREATE TABLE Heap (x varchar(max))');
            const tables = await batch(c, 'select object_id, name from sys.tables order by name');
            const [heap, person] = tables.rows.map((r) => r[0]);
            const types =
                new Map((await batch(c, 'select user_type_id, name from sys.types')).rows);
            assert.equal(types.get(231), 'nvarchar');
            assert.equal(types.get(106), 'decimal');
            const columns = await batch(
                c,
                'select object_id, column_id, name, user_type_id, ' +
                    'max_length, [precision], [scale], is_identity from sys.columns order by column_id');
            const own = columns.rows.filter((r) => r[0] === person)
                            .map((r) => [r[2], types.get(r[3]), r[4], r[5], r[6], r[7]]);
            assert.deepEqual(own, [
                ['ID', 'int', 4, 10, 0, true], ['Code', 'char', 4, 0, 0, false],
                ['Name', 'nvarchar', 40, 0, 0, false], ['Price', 'decimal', 9, 10, 2, false]
            ]);
            const keys = await batch(
                c,
                'select object_id, index_id, type_desc, is_unique ' +
                    'from sys.indexes where is_primary_key = 1');
            assert.deepEqual(keys.rows, [[person, 1, 'CLUSTERED', true]]);
            const heaps = await batch(
                c, `select index_id, type_desc from sys.indexes where object_id = ${heap}`);
            assert.deepEqual(heaps.rows, [[0, 'HEAP']]);
            const keyColumns = await batch(
                c,
                'select object_id, index_id, column_id, key_ordinal ' +
                    'from sys.index_columns');
            assert.deepEqual(keyColumns.rows, [[person, 1, 2, 1]]);
            await batch(c, 'USE master');
            await dropDatabase(c, db);
        } finally {
            await closeAndWait(c);
        }
    },

    // Run against a sandbox whose sa password is not ASCII: tedious writes LOGIN7 in UCS-2
    // itself, so this checks the server's decoding independently of FreeTDS and unixODBC.
    async unicodeLogin() {
        const c = await connect();
        try {
            const db = `库${suffix}`;
            await batch(c, `CREATE DATABASE ${db}`);
            const listed = await batch(c, `select name from sys.databases where name = N'${db}'`);
            assert.deepEqual(listed.rows, [[db]]);
            await dropDatabase(c, db);
        } finally {
            await closeAndWait(c);
        }
        await assert.rejects(connect({user: '用户'}), {message: "Login failed for user '用户'."});
        await assert.rejects(connect({pass: '中文'}), {message: "Login failed for user 'sa'."});
    },

    // A wrong password and an unknown login are refused with SQL Server's own text.
    async loginRefused() {
        await assert.rejects(connect({pass: password + 'x'}), (err) => {
            assert.equal(err.code, 'ELOGIN');
            assert.equal(err.message, "Login failed for user 'sa'.");
            return true;
        });
        await assert.rejects(
            connect({user: 'nobody'}), {message: "Login failed for user 'nobody'."});
        await assert.rejects(connect({database: `missing_${suffix}`}), {code: 'ELOGIN'});
    },

    // create database, switch, create table, list through sys.tables, drop; with execSqlBatch.
    async lifecycleBatch() {
        const db = `tb_${suffix}`;
        const c = await connect();
        try {
            await batch(c, `CREATE DATABASE ${db}`);
            let changed = null;
            c.once('databaseChange', (name) => {
                changed = name;
            });
            const used = await batch(c, `USE ${db}`);
            assert.equal(changed, db);
            assert.ok(used.infos.some((i) => i.number === 5701), 'INFO 5701 after USE');
            await batch(
                c, 'CREATE TABLE Person (ID int IDENTITY(1,1) PRIMARY KEY, Name nvarchar(20))');
            const listed = await batch(c, "select name from sys.tables where name = 'Person'");
            assert.deepEqual(listed.rows, [['Person']]);
            await expectError(
                batch(c, 'CREATE TABLE Person (ID int)'), 2714,
                "There is already an object named 'Person' in the database.");
            await batch(c, 'USE master');
            await batch(c, `DROP DATABASE ${db}`);
            await expectError(
                batch(c, `USE ${db}`), 911,
                `Database '${db}' does not exist. Make sure that the name is entered correctly.`);
        } finally {
            c.close();
        }
    },

    // The same through execSql (sp_executesql), with int and nvarchar parameters.
    async lifecycleExecSql() {
        const db = `ts_${suffix}`;
        const c = await connect();
        try {
            await execSql(c, `CREATE DATABASE ${db}`);
            const c2 = await connect({database: db});
            try {
                await execSql(c2, 'CREATE TABLE Item (ID int, Name nvarchar(30))');
                const found = await execSql(
                    c2, 'select name from sys.tables where name = @name',
                    [{name: 'name', type: TYPES.NVarChar, value: 'Item'}]);
                assert.deepEqual(found.rows, [['Item']]);
                const none = await execSql(
                    c2, 'select name from sys.tables where name = @name',
                    [{name: 'name', type: TYPES.NVarChar, value: '无此表'}]);
                assert.deepEqual(none.rows, []);
                const n =
                    await execSql(c2, 'select @n as n', [{name: 'n', type: TYPES.Int, value: 41}]);
                assert.deepEqual(n.rows, [[41]]);
                await expectError(
                    execSql(c2, 'select * from NoSuchTable'), 208,
                    "Invalid object name 'NoSuchTable'.");
            } finally {
                await closeAndWait(c2);
            }
            await dropDatabase(c, db, execSql);
        } finally {
            c.close();
        }
    },

    // A batch longer than the 512-byte packets it travels in.
    async smallPackets() {
        const c = await connect({packetSize: 512});
        try {
            const db = `tp_${suffix}`;
            const columns =
                Array.from({length: 60}, (_, i) => `Column_${i} nvarchar(40)`).join(', ');
            await batch(c, `CREATE DATABASE ${db}`);
            await batch(c, `USE ${db}`);
            await batch(c, `CREATE TABLE Wide (${columns})`);
            const listed = await execSql(c, "select name from sys.tables where name = 'Wide'");
            assert.deepEqual(listed.rows, [['Wide']]);
            await batch(c, 'USE master');
            await batch(c, `DROP DATABASE ${db}`);
        } finally {
            c.close();
        }
    },

    // A cancelled request (ATTENTION) ends with ECANCEL or its normal result, and the
    // connection goes on at once (no 5 s cancel timeout).
    async cancel() {
        const c = await connect({cancelTimeout: 3000});
        try {
            for (let i = 0; i < 5; i++) {
                const started = Date.now();
                const outcome = new Promise((resolve) => {
                    const request =
                        new Request('select name from sys.databases', (err) => resolve(err));
                    c.execSql(request);
                    setImmediate(() => c.cancel());
                });
                const err = await outcome;
                if (err) assert.equal(err.code, 'ECANCEL', err.message);
                const after =
                    await execSql(c, "select name from sys.databases where name = 'master'");
                assert.deepEqual(after.rows, [['master']]);
                assert.ok(Date.now() - started < 2000, 'cancel took too long');
            }
        } finally {
            c.close();
        }
    },

    // Every TDS version tedious speaks, with a result set and an error.
    async versions() {
        for (const tdsVersion of ['7_1', '7_2', '7_3_A', '7_3_B', '7_4']) {
            const c = await connect({tdsVersion});
            try {
                const r = await batch(
                    c, "select name, database_id from sys.databases where name = 'master'");
                assert.deepEqual(r.rows, [['master', 1]], tdsVersion);
                const p = await execSql(
                    c, 'select @s as s', [{name: 's', type: TYPES.NVarChar, value: '数据库'}]);
                assert.deepEqual(p.rows, [['数据库']], tdsVersion);
                await expectError(
                    batch(c, 'select * from NoSuchTable'), 208,
                    "Invalid object name 'NoSuchTable'.");
            } finally {
                c.close();
            }
        }
    },

    // Two clients at once, each in its own database.
    async twoClients() {
        const [a, b] = await Promise.all([connect(), connect()]);
        try {
            const dbs = [`t2a_${suffix}`, `t2b_${suffix}`];
            await Promise.all(
                [batch(a, `CREATE DATABASE ${dbs[0]}`), batch(b, `CREATE DATABASE ${dbs[1]}`)]);
            await Promise.all([batch(a, `USE ${dbs[0]}`), batch(b, `USE ${dbs[1]}`)]);
            await Promise.all(
                [batch(a, 'CREATE TABLE A1 (x int)'), batch(b, 'CREATE TABLE B1 (x int)')]);
            const [ra, rb] = await Promise.all(
                [batch(a, 'select name from sys.tables'), batch(b, 'select name from sys.tables')]);
            assert.deepEqual(ra.rows, [['A1']]);
            assert.deepEqual(rb.rows, [['B1']]);
            await Promise.all([batch(a, 'USE master'), batch(b, 'USE master')]);
            await batch(a, `DROP DATABASE ${dbs[0]}`);
            await batch(b, `DROP DATABASE ${dbs[1]}`);
        } finally {
            a.close();
            b.close();
        }
    },

    // Names fold beyond ASCII through sp_executesql parameters; expressions take parameters;
    // an informational 1819 arrives before the failing 1802; 8111 is followed by 1750.
    async answersAsServer() {
        const db = `ta_${suffix}`;
        const c = await connect();
        try {
            await batch(c, `CREATE DATABASE ${db}`);
            await batch(c, `USE ${db}`);
            await batch(c, 'CREATE TABLE [Ärger] (ID int NOT NULL PRIMARY KEY)');
            const found = await execSql(
                c, 'select name, type from sys.objects where name = @name',
                [{name: 'name', type: TYPES.NVarChar, value: 'äRGER'}]);
            assert.deepEqual(found.rows, [['Ärger', 'U ']]);
            const sum = await execSql(c, "select @n * 2 + 1 as v, 'a' + @s as t", [
                {name: 'n', type: TYPES.Int, value: 20},
                {name: 's', type: TYPES.NVarChar, value: 'b'}
            ]);
            assert.deepEqual(sum.rows, [[41, 'ab']]);
            const infos = [];
            c.on('infoMessage', (i) => infos.push(i.number));
            await expectError(
                batch(c, `CREATE DATABASE ${'n'.repeat(124)}`), 1802,
                'CREATE DATABASE failed. Some file names listed could not be created. ' +
                    'Check related errors.');
            assert.ok(infos.includes(1819), 'INFO 1819 before 1802');
            // Several ERROR tokens in one reply reach tedious as one AggregateError, in order.
            await assert.rejects(batch(c, 'CREATE TABLE T2 (A int NULL PRIMARY KEY)'), (err) => {
                assert.deepEqual(err.errors.map((e) => e.number), [8111, 1750]);
                assert.equal(
                    err.errors[1].message,
                    'Could not create constraint or index. See previous errors.');
                return true;
            });
            await batch(c, 'USE master');
            await dropDatabase(c, db);
        } finally {
            c.close();
        }
    },

    // The whole session inside TLS (encrypt: true, as every scenario connects): a statement
    // the test's relay must not see in clear.
    async encryptedSelect() {
        const c = await connect();
        try {
            const r = await batch(c, `select 'tls_marker_${suffix}' AS m`);
            assert.deepEqual(r.rows, [[`tls_marker_${suffix}`]]);
        } finally {
            await closeAndWait(c);
        }
    },

    // A server that forces encryption refuses a client that will not encrypt.
    async clearRefused() {
        await assert.rejects(connect({ encrypt: false }), (err) => {
            assert.equal(err.code, 'EENCRYPT', err.message);
            return true;
        });
    },

    // TDS 8.0: TLS before any TDS byte, the certificate checked against the sandbox's own
    // (DSADMIN_TEST_CA) and the address 127.0.0.1; without it the self-signed one is refused.
    async strict() {
        await assert.rejects(connect({ encrypt: 'strict', trustServerCertificate: false }),
                             /self-signed certificate/);
        const ca = fs.readFileSync(process.env.DSADMIN_TEST_CA);
        const c = await connect({ encrypt: 'strict', trustServerCertificate: false,
                                  cryptoCredentialsDetails: { ca } });
        try {
            const r = await batch(c, `select 'strict_${suffix}' AS m`);
            assert.deepEqual(r.rows, [[`strict_${suffix}`]]);
        } finally {
            await closeAndWait(c);
        }
    },

    // A server that offers only TLS 1.0/1.1: Node's OpenSSL refuses it.
    async oldTlsRefused() {
        await assert.rejects(connect(), (err) => {
            assert.match(String(err.message), /unsupported protocol|version/i);
            return true;
        });
    },
};

(async () => {
  const fn = scenarios[scenario];
  if (!fn) {
    console.error(`unknown scenario ${scenario}`);
    process.exit(2);
  }
  try {
    await fn();
    console.log(`${scenario}: ok`);
    process.exit(0);
  } catch (err) {
    console.error(`${scenario}: FAILED`);
    console.error(err && err.stack ? err.stack : err);
    process.exit(1);
  }
})();
