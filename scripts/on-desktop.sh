#!/usr/bin/env bash
# Runs a command on the desktop ctest gave its test: scripts/with-wine.sh made the desktops (an X display,
# Wine prefix and wineserver each, named in KO_DESKTOP_<id>_DISPLAY and KO_DESKTOP_<id>_PREFIX) and told
# ctest of them. A test that was given none runs on the environment's own display and prefix.
# It is ctest's emulator for the Windows builds: on-desktop.sh <wine> <program> [arguments...]
group=${CTEST_RESOURCE_GROUP_0_DESKTOP:-}
if [ -n "$group" ]; then
  # "id:1,slots:2"
  id=${group#id:}
  id=${id%%,*}
  display_var=KO_DESKTOP_${id}_DISPLAY
  prefix_var=KO_DESKTOP_${id}_PREFIX
  if [ -z "${!display_var:-}" ] || [ -z "${!prefix_var:-}" ]; then
    echo "on-desktop: ctest gave desktop $id, which scripts/with-wine.sh did not make" >&2
    exit 1
  fi
  export DISPLAY=${!display_var} WINEPREFIX=${!prefix_var}
fi
exec "$@"
