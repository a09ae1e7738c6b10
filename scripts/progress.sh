# Sourced by the build and Wine scripts.
# shellcheck shell=bash

# Runs a command in the background and prints "LABEL (N s)" every 5 seconds
# while it runs, so that a slow step never looks like a hang. Returns the
# command's status.
with_heartbeat() {  # label, command...
  local label=$1 waited=0 pid; shift
  "$@" &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    waited=$((waited + 1))
    (( waited % 5 )) || echo "$label ($waited s)"
  done
  wait "$pid"
}
