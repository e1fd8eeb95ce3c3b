#!/bin/sh
# Checks what the VS Code extension's .vsix holds (packed by make vscode,
# else packed here): a manifest
# that registers every extension of the desktop's NC program type, opens
# them as Shift-JIS, offers the compile command and starts its entry file,
# which is in the package with the language client. Skips (77), saying so,
# where npm is missing or cannot fetch.
# Usage: tests/vscode_extension_test.sh BUILD_DIR SOURCE_DIR VERSION
set -u
build=$1 source=$2 version=$3
vsix=$(realpath -m "$build")/vostrel-nc-$version.vsix
[ -f "$vsix" ] || "$source/tools/pack_vscode_extension.sh" "$vsix" || exit $?
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$vsix") || { echo "cannot unpack $vsix"; exit 1; }
globs=$(sed -n 's/.*<glob pattern="\*\(\.[^"]*\)".*/\1/p' "$source/packaging/vostrel-mime.xml")
node - "$work/extension" "$version" $globs <<'SCRIPT'
const fs = require('fs'), path = require('path');
const [root, version, ...globs] = process.argv.slice(2);
const manifest = JSON.parse(fs.readFileSync(path.join(root, 'package.json'), 'utf8'));
const problems = [];
const check = (ok, what) => { if (!ok) problems.push(what); };
const language = (manifest.contributes.languages || []).find((l) => l.id === 'vostrel-nc');
check(language, 'no language vostrel-nc');
for (const glob of globs) check(language && language.extensions.includes(glob), `extension ${glob} not registered`);
const defaults = (manifest.contributes.configurationDefaults || {})['[vostrel-nc]'] || {};
check(defaults['files.encoding'] === 'shiftjis', 'files.encoding is not shiftjis');
check((manifest.contributes.commands || []).some((c) => c.command === 'vostrel.compile' && c.title === 'compile'),
      'no compile command');
check(manifest.version === version.split('.').slice(0, 3).join('.'), `version ${manifest.version}, not ${version}`);
check(fs.existsSync(path.join(root, manifest.main)), `entry ${manifest.main} missing`);
check(fs.existsSync(path.join(root, 'node_modules', 'vscode-languageclient', 'package.json')),
      'vscode-languageclient missing');
const entry = fs.readFileSync(path.join(root, manifest.main), 'utf8');
check(entry.includes("'vostrel.compile'") && entry.includes('vostrel-lsp'), 'entry does not register the command or start the server');
if (problems.length) { console.log(problems.join('\n')); process.exit(1); }
console.log(`manifest of ${manifest.name} ${manifest.version} checked`);
SCRIPT
