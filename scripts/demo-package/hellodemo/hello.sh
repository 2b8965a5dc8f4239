#!/bin/sh
# The demo application: greets and shows where it runs from.
echo "Hello from the demo package, installed in $(cd "$(dirname "$0")" && pwd)"
# On a phone with the suite's message tool, it also says so on the screen.
if command -v flashnote >/dev/null 2>&1; then
  flashnote "Hello from the demo package!" Dialog_Complete.gif 4
fi
