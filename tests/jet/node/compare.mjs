// Reads a structure file with mdb-reader and compares every table name, column name and
// value with what `dsfile tables` and `dsfile dump` print for the same file.
//
//   node compare.mjs DSFILE FILE [TABLE...]     (default table: ds)
//
// Exit 0 when everything agrees, 1 on the first difference (printed), 2 on wrong usage.
import MDBReader from "mdb-reader";
import { readFileSync } from "node:fs";
import { execFileSync } from "node:child_process";



function unescape(cell) {
    return cell.replace(/\\(.)/g, (_, c) => ({ t: "\t", n: "\n", r: "\r", "\\": "\\" })[c]);
}

const pad = (n, w = 2) => String(n).padStart(w, "0");
function dateText(d) {
    return `${pad(d.getUTCFullYear(), 4)}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())} ` +
        `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}:${pad(d.getUTCSeconds())}`;
}

// True when mdb-reader's value `v` is what the dump cell `cell` says.
function same(v, cell) {
    if (v === null) return cell === "\\N";
    if (typeof v === "string") return cell !== "\\N" && unescape(cell) === v;
    if (typeof v === "boolean") return cell === (v ? "1" : "0");
    if (typeof v === "number") return cell !== "\\N" && Number(cell) === v;
    if (v instanceof Date) return dateText(v) === cell;
    return false;
}

// Throws an Error describing the first difference.
export function compareFile(dsfile, file, tables = ["ds"]) {
const run = (...args) => execFileSync(dsfile, args, { encoding: "utf8", maxBuffer: 1 << 30 });
const fail = (message) => {
    throw new Error(`mdb-reader and dsfile disagree on ${file}: ${message}`);
};
const reader = new MDBReader(readFileSync(file));
const ours = run("tables", file).split("\n").filter((l) => l !== "");
const theirs = reader.getTableNames();
if (JSON.stringify(ours) !== JSON.stringify(theirs))
    fail(`tables ${JSON.stringify(theirs)} vs ${JSON.stringify(ours)}`);

for (const name of tables) {
    const table = reader.getTable(name);
    const columns = table.getColumnNames();
    const data = table.getData();
    const lines = run("dump", file, name).split("\n");
    lines.pop();
    const header = lines[0].split("\t").map((c) => unescape(c).split(":")[0]);
    if (JSON.stringify(header) !== JSON.stringify(columns))
        fail(`columns ${JSON.stringify(columns)} vs ${JSON.stringify(header)}`);
    if (lines.length - 1 !== data.length || table.rowCount !== data.length)
        fail(`${data.length} rows (row count ${table.rowCount}) vs ${lines.length - 1}`);
    data.forEach((row, i) => {
        const cells = lines[i + 1].split("\t");
        columns.forEach((c, k) => {
            if (!same(row[c], cells[k]))
                fail(`row ${i + 1} column ${c}: ${JSON.stringify(row[c])} vs ${cells[k]}`);
        });
    });
    console.log(`${name}: ${data.length} rows x ${columns.length} columns agree`);
}
}

if (process.argv[1] && import.meta.url.endsWith(process.argv[1].split("/").pop())) {
    const [dsfile, file, ...tables] = process.argv.slice(2);
    if (!dsfile || !file) {
        console.error("usage: node compare.mjs DSFILE FILE [TABLE...]");
        process.exit(2);
    }
    try {
        compareFile(dsfile, file, tables.length ? tables : ["ds"]);
    } catch (e) {
        console.error(e.message);
        process.exit(1);
    }
}
