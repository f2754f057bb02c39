#!/usr/bin/env bash
# The command-line program answers --version and --help and refuses what it
# does not know.
set -u
cli=$1
fail() { echo "FAIL: $*"; exit 1; }
"$cli" --version | grep -q '^sornaval-cli 3\.4' || fail "--version"
help=$("$cli" --help) || fail "--help status"
for command in drives toc discid lookup info decode; do
  grep -q "^  $command " <<<"$help" || fail "--help does not list $command"
done
for command in drives toc discid lookup rip info decode; do
  usage=$("$cli" "$command" --help) || fail "$command --help status"
  grep -q "^Usage: sornaval-cli $command " <<<"$usage" || fail "$command --help prints no usage"
  [ "$("$cli" help "$command")" = "$usage" ] || fail "help $command differs from $command --help"
done
"$cli" --lang klingon drives >/dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown --lang is not a usage error"
"$cli" lookup --demo --source freedb >/dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown lookup source is not a usage error"
"$cli" frobnicate >/dev/null 2>&1 && fail "an unknown command succeeded"
"$cli" >/dev/null 2>&1 && fail "no command succeeded"
echo "cli basics: ok"
