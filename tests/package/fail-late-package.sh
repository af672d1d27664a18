#!/usr/bin/env bash
# Builds the package of the tests that fail late: the package of ARCH from BINDIR (as
# tools/package.sh makes it) with two more deferred actions, which make a run with the
# property FAILLATE=1 fail after every printer step: an install or repair once zetsetup has
# added or taken over its printers, a removal once zetsetup has removed them. Each runs the
# kit's installer with a command that it refuses, through the package's action library.
#
#   tests/package/fail-late-package.sh ARCH BINDIR OUTDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 3 ] || { echo "usage: $0 x86|x64 BINDIR OUTDIR" >&2; exit 2; }
msi=$(bash "$root/tools/package.sh" "$1" "$2" "$3")
query() { msibuild "$msi" -q "$1"; }
# Type 51 sets a property (the deferred action's data); 3073 is a deferred DLL action of the
# Binary table, run with the installer's rights, whose failure fails the run.
for step in Install:'NOT REMOVE':6437 Remove:'REMOVE = "ALL"':1540; do
  IFS=: read -r name condition sequence <<<"$step"
  query "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('FailLate${name}Data', 51, 'FailLate${name}', '\"[#ZetSetup]\" fail-late')"
  query "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('FailLate${name}', 3073, 'SetupActions', 'RunSetup')"
  query "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('FailLate${name}Data', 'FAILLATE', $((sequence - 1)))"
  query "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('FailLate${name}', 'FAILLATE AND $condition', $sequence)"
done
echo "$msi"
