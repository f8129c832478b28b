#!/usr/bin/env bash
# The desktop entry and the metainfo pass their validators.
#   desktop_files_test.sh SOURCE_DIR APP_ID
set -euo pipefail
source_dir=$1
id=$2
desktop-file-validate "$source_dir/packaging/$id.desktop"
appstreamcli validate --no-net "$source_dir/packaging/$id.metainfo.xml"
grep -qx "Icon=$id" "$source_dir/packaging/$id.desktop"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
  "$source_dir/packaging/$id.metainfo.xml"
echo "desktop files: valid"
