#!/bin/sh
# Packs the VS Code extension (editors/vscode) into OUT, a .vsix: its
# packages from npm (vscode-languageclient, and TypeScript and vsce to
# build), compiled and packed in a copy so that the source folder stays
# clean. Without npm, or when npm cannot fetch the packages, it says so and
# exits 77 without making OUT.
# Usage: tools/pack_vscode_extension.sh OUT.vsix
set -u
out=$(realpath -m "$1")
mkdir -p "$(dirname "$out")"
src=$(cd "$(dirname "$0")/../editors/vscode" && pwd)
if ! command -v npm > /dev/null; then
  echo "VS Code extension not packed: npm is not installed"
  exit 77
fi
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
(cd "$src" && cp -r package.json package-lock.json tsconfig.json .vscodeignore README.md LICENSE.txt src "$work")
cd "$work"
if ! timeout 600 npm ci --no-audit --no-fund --fetch-timeout=60000 --fetch-retries=1 > npm.log 2>&1; then
  echo "VS Code extension not packed: npm cannot fetch its packages"
  tail -n 5 npm.log
  exit 77
fi
npm run --silent compile && npx vsce package --skip-license -o "$out" > vsce.log 2>&1 || { cat vsce.log; exit 1; }
echo "VS Code extension: $out"
