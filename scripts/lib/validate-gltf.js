#!/usr/bin/env node
// Validates glTF files with the Khronos glTF validator (npm package
// gltf-validator, found in the global node_modules). Prints each file's
// issues; exits 0 when no file has an error or a warning, 1 when one has,
// 77 when the validator is not installed.
"use strict";
const fs = require("fs");
const path = require("path");
const { execSync } = require("child_process");

function loadValidator() {
  try {
    return require("gltf-validator");
  } catch (e) {
    try {
      const root = execSync("npm root -g", { encoding: "utf8", stdio: ["ignore", "pipe", "ignore"] }).trim();
      return require(path.join(root, "gltf-validator"));
    } catch (e2) {
      return null;
    }
  }
}

async function main() {
  const validator = loadValidator();
  if (!validator) {
    console.error("gltf-validator is not installed (npm install -g gltf-validator)");
    process.exit(77);
  }
  let bad = false;
  for (const file of process.argv.slice(2)) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
      uri: path.basename(file),
      maxIssues: 100,
      externalResourceFunction: (uri) =>
        Promise.resolve(new Uint8Array(fs.readFileSync(path.join(path.dirname(file), decodeURIComponent(uri))))),
    });
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
                `${issues.numInfos} infos, ${issues.numHints} hints`);
    for (const message of issues.messages) {
      console.log(`  ${message.severity === 0 ? "error" : message.severity === 1 ? "warning" : "info"} ` +
                  `${message.code} ${message.pointer || ""}: ${message.message}`);
    }
    if (issues.numErrors > 0 || issues.numWarnings > 0) bad = true;
  }
  process.exit(bad ? 1 : 0);
}

main().catch((error) => {
  console.error(String(error));
  process.exit(1);
});
