#!/usr/bin/env bash
# Runs one scenario script under its own virtual display. xvfb-run -a takes the first free display number
# from where it starts looking (99 unless told); test runs that start at the same moment on one machine
# would all look from 99 and could share, then lose, one display. A random start keeps them apart.
set -euo pipefail
exec xvfb-run -n $((100 + RANDOM % 20000)) -a -s "-screen 0 1024x768x24" bash "$1"
