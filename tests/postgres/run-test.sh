#!/usr/bin/env bash
# Runs a test beside a private PostgreSQL server (with-postgres.sh). Without
# the server installed the test is skipped (exit 77, CTest's SKIP_RETURN_CODE)
# on a developer's machine, and fails in CI (CI=true), where the server's
# tests must run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if ! ls /usr/lib/postgresql/*/bin/initdb >/dev/null 2>&1 && [ "${CI:-}" != "true" ]; then
  echo "run-test: PostgreSQL is not installed (Debian package postgresql); skipped" >&2
  exit 77
fi
exec "$here/with-postgres.sh" "$@"
