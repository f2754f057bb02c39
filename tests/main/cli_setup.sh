# Sourced by the command-line tests: `cli` is the program under test, `work`
# a private folder (removed at exit) that also holds the data and settings
# folders, and `fail` ends the test with a message.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
fail() { echo "FAIL: $*"; exit 1; }
