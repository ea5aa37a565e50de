#!/usr/bin/env bash
# Set up (packages, configure, build) and start the program; arguments go to the program.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/scripts/setup.sh"
exec "$here/${BUILD_DIR:-build}/app/z4072" "$@"
