// Reads one JSON document on stdin (JSON.parse: exits 1 when it is not valid JSON) and prints
// every leaf as "path<TAB>value", e.g. "statements.0.outcome\taccepted"; strings are printed
// as they are, other values as JSON. Used by cli_test.
'use strict';
const text = require('node:fs').readFileSync(0, 'utf8');
const out = [];
(function walk(value, path) {
    if (value !== null && typeof value === 'object') {
        const keys = Object.keys(value);
        if (keys.length === 0) out.push(`${path}\t${Array.isArray(value) ? '[]' : '{}'}`);
        for (const k of keys) walk(value[k], path ? `${path}.${k}` : k);
    } else {
        out.push(`${path}\t${typeof value === 'string' ? value : JSON.stringify(value)}`);
    }
})(JSON.parse(text), '');
process.stdout.write(out.join('\n') + '\n');
