// Runs the Khronos glTF validator on each file named on the command line
// (external buffers and pictures read from beside it) and prints one JSON
// array of its reports. Exit 0 when every file could be read and judged;
// the counts of errors and warnings are the caller's to judge.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
  const folder = path.dirname(file);
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.join(folder, decodeURIComponent(uri)), (error, data) =>
          error ? reject(error.toString()) : resolve(new Uint8Array(data)));
      }),
  });
  return {file, messages: report.issues.messages};
}

(async () => {
  const reports = [];
  for (const file of process.argv.slice(2)) reports.push(await validate(file));
  process.stdout.write(JSON.stringify(reports) + '\n');
})().catch((error) => {
  process.stderr.write(`validate.js: ${error}\n`);
  process.exit(2);
});
