// node validate.mjs FILE.glb...
// Runs the glTF validator on each file and prints its counts; exits non-zero when any file
// has an error (or can't be read). Messages at error level are printed in full.
import { readFile } from 'node:fs/promises';
import validator from 'gltf-validator';

let failed = false;
for (const file of process.argv.slice(2)) {
  let report;
  try {
    const data = new Uint8Array(await readFile(file));
    report = await validator.validateBytes(data, { maxIssues: 100 });
  } catch (error) {
    console.error(`${file}: can't be validated: ${error}`);
    failed = true;
    continue;
  }
  const issues = report.issues;
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
              `${issues.numInfos} infos, ${issues.numHints} hints`);
  for (const message of issues.messages) {
    if (message.severity <= 1 || process.env.VALIDATE_VERBOSE) {
      console.log(`  [${message.severity}] ${message.code} ${message.pointer ?? ''}: ${message.message}`);
    }
  }
  if (issues.numErrors > 0) failed = true;
}
process.exit(failed ? 1 : 0);
