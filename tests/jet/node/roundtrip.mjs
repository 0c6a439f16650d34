// Writes structure files with dsfile from generated rows and checks that mdb-reader reads
// exactly those values back, and that `dsfile dump` prints exactly the input.
//
//   node roundtrip.mjs DSFILE
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { execFileSync } from "node:child_process";
import MDBReader from "mdb-reader";
import { compareFile } from "./compare.mjs";

const dsfile = process.argv[2];
const dir = mkdtempSync(join(tmpdir(), "dsadmin-mdb-reader-"));

function text(r, k) {
    switch ((r + k) % 9) {
        case 0: return "\\N";
        case 1: return "";
        case 2: return "表" + "字".repeat(62) + (r % 10);
        case 3: return "tab\\tnew\\nline\\\\";
        case 4: return "𝄞 beyond the BMP";
        default: return ["Int", "VarChar", "NVarChar(20)", "客户编号"][r % 4] + r;
    }
}
function number(r, k) {
    return ["\\N", "-2147483648", "2147483647", "0", String(r * 7 - 1000)][(r + k) % 5];
}

function write(name, tsv, ...args) {
    const file = join(dir, name);
    execFileSync(dsfile, ["write", file, ...args], { input: tsv });
    const back = execFileSync(dsfile, ["dump", file, ...(args[1] ? [args[1]] : [])], {
        encoding: "utf8", maxBuffer: 1 << 30,
    });
    if (back !== tsv) throw new Error(`dsfile dump of ${name} differs from its input`);
    return file;
}

try {
    let ds = "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
    for (let r = 0; r < 50000; r++)
        ds += `T${r >> 4}\t${text(r, 1)}\t${text(r, 2)}\t${number(r, 0)}\t${number(r, 1)}\t${number(r, 2)}\n`;
    const dsFile = write("ds.DS", ds);
    compareFile(dsfile, dsFile);
    console.log("50,000 ds rows: mdb-reader, dsfile dump and the input agree");

    // The header as a reader that checks it sees it: no password, made just now; the system
    // tables of every Jet 4 file, the three beside MSysObjects empty.
    const reader = new MDBReader(readFileSync(dsFile));
    if (reader.getPassword() !== null) throw new Error(`password ${JSON.stringify(reader.getPassword())}`);
    const age = Date.now() - reader.getCreationDate().getTime();
    if (!(age > -120000 && age < 600000)) throw new Error(`creation date ${reader.getCreationDate()}`);
    const system = reader.getTableNames({ normalTables: false, systemTables: true });
    if (JSON.stringify(system) !== '["MSysObjects","MSysACEs","MSysQueries","MSysRelationships"]')
        throw new Error(`system tables ${JSON.stringify(system)}`);
    for (const name of system.slice(1))
        if (reader.getTable(name).getData().length !== 0) throw new Error(`${name} has rows`);
    console.log("header: no password, creation date read; system tables present");

    let all = "t:text(255)\ti:integer\tb:byte\td:double\ty:yesno\tw:datetime\tm:memo\tl:long\n";
    for (let r = 0; r < 3000; r++) {
        const long = r % 3 === 0 ? "长".repeat(255) : text(r, 0);
        const memo = r % 50 === 0 ? "备注".repeat(1000 + r) : text(r, 3);
        const day = `20${String(r % 100).padStart(2, "0")}-0${1 + (r % 9)}-1${r % 10} 0${r % 10}:3${r % 10}:0${r % 10}`;
        all += `${long}\t${(r % 65536) - 32768}\t${r % 256}\t${r / 8 - 100}\t${r % 2}\t${r % 7 ? day : "\\N"}\t${memo}\t${r * 1000}\n`;
    }
    compareFile(dsfile, write("all.DS", all, "--table", "所有类型"), ["所有类型"]);
    console.log("3,000 rows of every type: mdb-reader, dsfile dump and the input agree");

    // 20,000 rows of 3 x 255 characters fill 10,000 data pages: a usage map with bitmap pages.
    const wide = "a:long\tb:text(255)\tc:text(255)\td:text(255)\n" +
        Array.from({ length: 20000 }, (_, r) => `${r}\t${"宽".repeat(255)}\t${"x".repeat(255)}\t${text(r, 4)}\n`).join("");
    compareFile(dsfile, write("wide.DS", wide, "--table", "wide"), ["wide"]);
    console.log("20,000 rows on 10,000 pages: mdb-reader, dsfile dump and the input agree");
} catch (e) {
    console.error(e.message);
    process.exitCode = 1;
} finally {
    rmSync(dir, { recursive: true, force: true });
}
