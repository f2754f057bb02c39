#!/usr/bin/env bash
# The command-line program answers --version and --help and refuses what it
# does not know.
set -u
cli=$1
fail() { echo "FAIL: $*"; exit 1; }
"$cli" --version | grep -q '^sornaval-cli 3\.4' || fail "--version"
help=$("$cli" --help) || fail "--help status"
for command in drives toc discid lookup; do
  grep -q "^  $command " <<<"$help" || fail "--help does not list $command"
done
"$cli" frobnicate >/dev/null 2>&1 && fail "an unknown command succeeded"
"$cli" >/dev/null 2>&1 && fail "no command succeeded"
echo "cli basics: ok"
