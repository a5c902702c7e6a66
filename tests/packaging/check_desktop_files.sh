#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and both man pages as the desktop's own checkers read them.
# Skips (77) when a checker is not installed (scripts/install-deps installs them).
set -euo pipefail
packaging=$1
for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
status=0
desktop-file-validate "$packaging/org.tavlo.Tavlo.desktop" || status=1
appstreamcli validate --no-net --explain "$packaging/org.tavlo.Tavlo.metainfo.xml" || status=1
for page in "$packaging"/man/*.1; do
  # groff's warnings (bad requests, lines that cannot be set) go to standard error.
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || echo "man failed")
  if [ -n "$warnings" ]; then
    echo "$page: $warnings"
    status=1
  fi
done
# The icon names the entry uses exist in every size the package installs.
icon=$(sed -n 's/^Icon=//p' "$packaging/org.tavlo.Tavlo.desktop")
[ -f "$packaging/icons/$icon.svg" ] || { echo "no scalable icon $icon.svg"; status=1; }
exit $status
