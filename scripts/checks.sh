# Shared by the script tests and run.sh (sourced, not run): counted checks and bounded polling.

passed=0
failed=0
# check "what" command...: counts the command's success, names it when it fails.
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $what"
    failed=$((failed + 1))
  fi
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq 1 "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

ended() { ! kill -0 "$1" 2>/dev/null; }
