#!/bin/sh
# old_driver_test.sh PROGRAM - runs a libvelkor program on a driver that
# offers OpenGL 2.1 only: it must print one line naming that version and
# the renderer, and end with a non-zero status.
out=$(MESA_GL_VERSION_OVERRIDE=2.1 MESA_GLSL_VERSION_OVERRIDE=120 "$1" 2>/dev/null)
status=$?
echo "$out"
[ "$status" -ne 0 ] || { echo "old_driver_test: exit status 0"; exit 1; }
[ "$(printf '%s\n' "$out" | grep -c 'OpenGL 3.3 with GLSL 3.30 is needed, but the driver offers OpenGL 2.1.*renderer')" -eq 1 ] ||
  { echo "old_driver_test: no single line naming the driver's version"; exit 1; }
exit 0
