#!/usr/bin/env bash
# quorvi --sync-account and --sync from a terminal, against a real Radicale:
# the task list found from the server's address, one pass sending a task,
# the account kept out of the task folder, a server that is gone, and the
# options that do not go together.
set -euo pipefail
quorvi=$1
radicale=$2
python=$3

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
# No secret store answers here.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"

port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$radicale" --config "" --server-hosts "127.0.0.1:$port" --storage-filesystem-folder "$work/storage" \
  --auth-type none 2>"$work/radicale.log" &
pid=$!
for _ in $(seq 300); do
  "$python" -c "import socket; socket.create_connection(('127.0.0.1', $port))" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || fail "Radicale did not start: $(cat "$work/radicale.log")"
  sleep 0.05
done
"$python" - "$port" <<'PY'
import base64, sys, urllib.request
body = (b'<?xml version="1.0"?><c:mkcalendar xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:set>'
        b'<d:prop><c:supported-calendar-component-set><c:comp name="VTODO"/></c:supported-calendar-component-set>'
        b'</d:prop></d:set></c:mkcalendar>')
request = urllib.request.Request(f"http://127.0.0.1:{sys.argv[1]}/alice/tasks/", data=body, method="MKCALENDAR",
                                 headers={"Authorization": "Basic " + base64.b64encode(b"alice:pw").decode()})
urllib.request.urlopen(request)
PY

store="$work/store"
mkdir -p "$store"
cd "$store"
printf '[Tasks]\r\n\r\nttl=Quarterly report\r\nfor=Finance\r\nday=7\r\nmon=3\r\nyea=2027\r\nhou=9\r\nmin=5\r\nsec=0\r\ndes=\r\nact=addtask\r\n\r\n[Alerts]\r\n\r\n' >tasks.txt

# No account yet.
if "$quorvi" --sync 2>"$work/err"; then fail "--sync without an account succeeded"; fi
grep -q -- "--sync-account" "$work/err" || fail "no hint at --sync-account: $(cat "$work/err")"

echo pw | "$quorvi" --sync-account "http://127.0.0.1:$port/" alice --password-stdin >"$work/out" \
  || fail "--sync-account failed"
grep -q "/alice/tasks/" "$work/out" || fail "the task list was not found: $(cat "$work/out")"
grep -q "password was not kept" "$work/out" || fail "no word about the password: $(cat "$work/out")"
[ "$(ls -A "$store")" = "tasks.txt" ] || fail "the account went beside tasks.txt: $(ls -A "$store")"
[ -f "$XDG_CONFIG_HOME/quorvi/sync.conf" ] || fail "no account in the configuration folder"

# Without a secret store, the password must come on standard input.
if "$quorvi" --sync </dev/null 2>"$work/err"; then fail "--sync without a password succeeded"; fi
grep -q -- "--password-stdin" "$work/err" || fail "no hint at --password-stdin: $(cat "$work/err")"

echo pw | "$quorvi" --sync --password-stdin >"$work/out" || fail "--sync failed"
grep -q "1 sent" "$work/out" || fail "the task was not sent: $(cat "$work/out")"
grep -rq "SUMMARY:Quarterly report" "$work/storage/collection-root/alice/tasks/" || fail "the server lacks the task"
grep -q "uid=" tasks.txt || fail "tasks.txt did not keep the task's identity"

# The server gone: status 1, the reason on standard error, tasks.txt untouched.
before=$(cat tasks.txt)
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
if echo pw | "$quorvi" --sync --password-stdin 2>"$work/err"; then fail "--sync without a server succeeded"; fi
grep -q "Sync failed" "$work/err" || fail "no reason given: $(cat "$work/err")"
[ "$(cat tasks.txt)" = "$before" ] || fail "tasks.txt changed without a server"

# Options that do not go together.
for args in "--sync --export x.ics" "--sync --sync-account http://x/ a" "--password-stdin" "--sync-account http://x/"; do
  status=0
  # shellcheck disable=SC2086
  "$quorvi" $args 2>/dev/null || status=$?
  [ "$status" = 2 ] || fail "'$args' gave status $status, not 2"
done
echo "PASS"
