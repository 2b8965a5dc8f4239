#!/bin/sh
# The demo application: greets and shows where it runs from.
echo "Hello from the demo package, installed in $(cd "$(dirname "$0")" && pwd)"
