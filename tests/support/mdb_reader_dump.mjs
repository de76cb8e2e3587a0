// Dumps a database through the npm package mdb-reader, for oracle tests.
//   node mdb_reader_dump.mjs FILE          -> user table names, one per line
//   node mdb_reader_dump.mjs FILE TABLE    -> the table as CSV (see oracles.h)
// MDB_READER_DIR names the folder whose node_modules holds mdb-reader.
import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";
import { join } from "node:path";

const dir = process.env.MDB_READER_DIR;
const { default: MDBReader } = await import(
  pathToFileURL(join(dir, "node_modules", "mdb-reader", "lib", "node", "index.js")).href
);

const [file, table] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file));

function field(value) {
  if (value === null || value === undefined) return "";
  if (typeof value === "boolean") return value ? "1" : "0";
  if (value instanceof Date) return value.toISOString();
  if (Buffer.isBuffer(value) || value instanceof Uint8Array) return Buffer.from(value).toString("hex");
  if (typeof value === "string") return '"' + value.replaceAll('"', '""') + '"';
  return String(value);
}
function header(name) {
  return '"' + name.replaceAll('"', '""') + '"';
}

const out = [];
if (table === undefined) {
  for (const name of reader.getTableNames()) out.push(name);
} else {
  const t = reader.getTable(table);
  const names = t.getColumnNames();
  out.push(names.map(header).join(","));
  for (const row of t.getData()) out.push(names.map((n) => field(row[n])).join(","));
}
process.stdout.write(out.join("\n") + (out.length ? "\n" : ""));
