#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real program's --export and --import in a temporary folder, and
# lets python3-icalendar, a reader written apart from libical, read what
# --export wrote.
# Usage: test_calendar_cli.sh QUORVI PYTHON3
set -euo pipefail
program=$1
python=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export XDG_DATA_HOME="$work/data"
export TZ=Europe/Berlin
mkdir -p "$work/here" "$work/there"
cd "$work/here"
printf '%s\r\n' 'ttl=Quarterly report, Q4' 'for=Finance; board' 'day=8' 'mon=12' 'yea=2027' 'hou=25' 'min=0' 'sec=0' \
  'des=Figures|~Slides: Grüße' 'act=addtask' \
  'ttl=Rent' 'for=Landlord' 'day=31' 'mon=1' 'yea=2027' 'hou=9' 'min=0' 'sec=0' 'des=' 'rep=1m@31' 'act=addtask' \
  'ttl=Call the bank' 'for=Me' 'day=2' 'mon=3' 'yea=2027' 'hou=10' 'min=0' 'sec=0' 'des=' \
  'don=2027-03-02 10:12:00' 'act=addtask' > tasks.txt

out=$("$program" --export "$work/tasks.ics") || fail "--export exited $?"
[ "$out" = "Exported 3 tasks to $work/tasks.ics." ] || fail "--export said: $out"
[ "$(grep -c '^uid=' tasks.txt)" = 3 ] || fail "the identities were not saved"

"$python" - "$work/tasks.ics" <<'PY' || fail "python3-icalendar disagrees"
import sys, datetime
import icalendar
calendar = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
todos = {str(t['SUMMARY']): t for t in calendar.walk('VTODO')}
assert set(todos) == {'Quarterly report, Q4', 'Rent', 'Call the bank'}, todos.keys()
report = todos['Quarterly report, Q4']
due = report['DUE'].dt
assert (due.year, due.month, due.day, due.hour) == (2027, 12, 9, 1), due
assert due.utcoffset() == datetime.timedelta(hours=1), due.utcoffset()
assert report['DUE'].params['TZID'] == 'Europe/Berlin'
assert str(report['X-QUORVI-FOR']) == 'Finance; board', report['X-QUORVI-FOR']
assert str(report['DESCRIPTION']) == 'Figures\nSlides: Grüße', repr(report['DESCRIPTION'])
rule = todos['Rent']['RRULE']
assert rule['FREQ'] == ['MONTHLY'] and rule['BYMONTHDAY'] == [28, 29, 30, 31] and rule['BYSETPOS'] == [-1], rule
assert todos['Rent']['DTSTART'].dt == todos['Rent']['DUE'].dt
bank = todos['Call the bank']
assert str(bank['STATUS']) == 'COMPLETED' and int(bank['PERCENT-COMPLETE']) == 100
assert bank['COMPLETED'].dt == datetime.datetime(2027, 3, 2, 9, 12, tzinfo=datetime.timezone.utc), bank['COMPLETED'].dt
for t in todos.values():
    for name in ('UID', 'DTSTAMP', 'LAST-MODIFIED', 'SEQUENCE'):
        assert name in t, name
zones = [z['TZID'] for z in calendar.walk('VTIMEZONE')]
assert zones == ['Europe/Berlin'], zones
PY

# Into an empty folder: the same tasks come in.
cd "$work/there"
out=$("$program" --import "$work/tasks.ics") || fail "--import exited $?"
grep -q ": 3 added, 0 updated, 0 skipped." <<<"$out" || fail "--import said: $out"
grep -q '^ttl=Quarterly report, Q4' tasks.txt || fail "no report in $(cat tasks.txt)"
grep -q '^rep=1m@31' tasks.txt || fail "no repetition"
grep -q '^don=2027-03-02 10:12:00' tasks.txt || fail "not done"

# What is no calendar changes nothing and says so, with status 1.
cp tasks.txt before.txt
set +e
err=$("$program" --import tasks.txt 2>&1 >/dev/null); status=$?
set -e
[ $status = 1 ] || fail "--import of a task list exited $status"
grep -q "is not an iCalendar file Quorvi can read: it does not start with BEGIN:VCALENDAR" <<<"$err" || fail "said: $err"
cmp -s tasks.txt before.txt || fail "tasks.txt changed"

# Mistakes on the command line are mistakes (status 2).
set +e
"$program" --import "$work/tasks.ics" --export x.ics >/dev/null 2>&1; status=$?
set -e
[ $status = 2 ] || fail "--import with --export exited $status"
echo "calendar command line: all passed"
