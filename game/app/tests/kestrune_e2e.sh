#!/usr/bin/env bash
# Kestrune end to end, headless on the virtual clock, as a person would use
# it: the splash, the copyright screen, the main menu, a quick match against
# the computer from the quick play screen to its end, the menus again, and
# Quit. Then a match left by closing the program is saved, and the next
# start resumes it from the main menu's Quick Play.
#   kestrune_e2e.sh KESTRUNE SCRIPT
set -eu
program=$(realpath "$1")
script=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
docs="$work/device/My Documents"
fail() {
  echo "$1"
  [ -f "$docs/message.log" ] && iconv -f UTF-16LE -t UTF-8 "$docs/message.log" | tr -d '\r' | tail -40
  exit 1
}
log() { iconv -f UTF-16LE -t UTF-8 "$docs/message.log" | tr -d '\r'; }
byte() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
size() { stat -c %s "$1"; }

run() {
  (cd "$work" && DEVICE_BACKEND=headless DEVICE_CLOCK=virtual DEVICE_MESSAGE_LOG=on DEVICE_ROOT="$work/device" \
    DEVICE_SCRIPT="$1" timeout 600 "$program" 2>"$work/errors.txt") || fail "Kestrune exited with status $?"
}

# 1. A whole quick match against the computer.
run "$script"
for shot in splash copyright main_menu quick_play_set match_start after_break back_to_menu quit_focused; do
  [ -s "$work/$shot.png" ] || fail "missing screenshot $shot.png"
done
cmp -s "$work/splash.png" "$work/copyright.png" && fail "the copyright screen did not follow the splash"
cmp -s "$work/copyright.png" "$work/main_menu.png" && fail "the main menu did not follow the copyright screen"
# The break is a pen stroke on the stick's grip: the stick comes back with
# the pen, and the stroke strikes.
for shot in aim pulled_back break; do
  [ -s "$work/$shot.png" ] || fail "missing screenshot $shot.png"
done
cmp -s "$work/aim.png" "$work/pulled_back.png" && fail "the pen did not pull the stick back"
cmp -s "$work/aim.png" "$work/break.png" && fail "the pen stroke on the grip did not strike"
log | grep -q "^Ready to Play$" || fail "the match did not start"
log | grep -qE "^Match over: (Player 1 (Wins|Loses)|Amber Falcon Wins)" || fail "the match did not reach its end"
# The shutdown runs once, in its order, after Quit.
order=$(log | grep -E "^(ksMain::Shutdown|After |ksMain::Shutdown END)" | tr '\n' '|')
expected="ksMain::Shutdown|After stopping music|After SavePrefs|After FREE Players|After Delete m_Audio|After Delete m_Display|After Delete m_Input|After Delete Pool|After Delete m_DlgMan|ksMain::Shutdown END|"
[ "$order" = "$expected" ] || fail "shutdown order: $order"
# The saves: sizes, and the quick-play choices remembered (computer, the
# room champion at entry 81, one game, 9-Ball in the Garage).
[ "$(size "$docs/ksCareers.dat")" = 22152 ] || fail "ksCareers.dat is not 22152 bytes"
[ "$(size "$docs/ksPref.dat")" = 140 ] || fail "ksPref.dat is not 140 bytes"
[ "$(size "$docs/ksPlayers.dat")" = 2480 ] || fail "ksPlayers.dat is not 2480 bytes"
[ "$(byte "$docs/ksPref.dat" 7)" = 1 ] || fail "player 2 is not remembered as the computer"
[ "$(byte "$docs/ksPref.dat" 3)" = 81 ] || fail "the opponent is not remembered"
[ "$(byte "$docs/ksPref.dat" 5)" = 1 ] || fail "the match goal is not remembered"
[ "$(byte "$docs/ksPref.dat" 6)" = 2 ] || fail "the game type is not remembered"
[ "$(byte "$docs/ksPref.dat" 21)" = 0 ] || fail "a finished match is marked as saved"
[ ! -e "$docs/ksQPSave.usr" ] || fail "a finished match left a quick-play save"
ls "$docs" | grep -q '\.new$' && fail "a save was left half way"

# 2. Closing the program in the middle of a match keeps it.
cat >"$work/leave.script" <<'SCRIPT'
wait 7600
key down
wait 200
key enter
wait 500
key 3
wait 4000
keydown softkey2
wait 1000
keyup softkey2
wait 300
quit
SCRIPT
rm -f "$work"/*.png
run "$work/leave.script"
log | grep -q "^Saving current game$" || fail "the match on screen was not saved at the end"
[ "$(size "$docs/ksQPSave.usr")" = 2892 ] || fail "ksQPSave.usr is not 2892 bytes"
[ "$(od -An -tx4 -N4 "$docs/ksQPSave.usr" | tr -d ' ')" = 00101010 ] || fail "the quick-play save has no marker"
[ "$(byte "$docs/ksPref.dat" 21)" = 1 ] || fail "the quick-play save is not marked present"

# 3. The next start: Quick Play resumes it.
cat >"$work/resume.script" <<'SCRIPT'
wait 7600
key down
wait 200
key enter
wait 3000
screenshot resumed.png
quit
SCRIPT
run "$work/resume.script"
[ "$(log | grep -c "^Ready to Play$")" = 1 ] || fail "the saved match did not resume"
log | grep -q "refused" && fail "the saved match was refused"
log | grep -q "^Saving current game$" || fail "the resumed match was not kept at the end"
[ -s "$work/resumed.png" ] || fail "missing screenshot resumed.png"
# 4. A second start while the game runs brings the first to the front and
# ends at once: a second game, on the virtual clock, would soon pass its
# script's wait and take its screenshot. The first, once its window is up
# (its screenshot taken), stays for ten seconds of the host's time, far more
# than a start needs.
printf 'wait 100\nscreenshot first_up.png\nwait 10000\nquit\n' >"$work/stay.script"
printf 'wait 3000\nscreenshot second_ran.png\nquit\n' >"$work/second.script"
(cd "$work" && DEVICE_BACKEND=headless DEVICE_CLOCK=real DEVICE_MESSAGE_LOG=on DEVICE_ROOT="$work/device" \
  DEVICE_SCRIPT="$work/stay.script" timeout 120 "$program" 2>/dev/null) &
first=$!
for _ in $(seq 1 1200); do
  [ -s "$work/first_up.png" ] && break
  kill -0 $first 2>/dev/null || fail "the first instance ended before its window was up"
  sleep 0.05
done
[ -s "$work/first_up.png" ] || fail "the first instance's window did not come up"
(cd "$work" && DEVICE_BACKEND=headless DEVICE_CLOCK=virtual DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$work/second.script" \
  timeout 60 "$program" 2>/dev/null) || fail "the second start failed"
[ ! -e "$work/second_ran.png" ] || fail "the second start ran as a game of its own"
kill -0 $first 2>/dev/null || fail "the first instance ended before the second start"
wait $first || fail "the first instance failed"

# 5. The menu screens: a new career with a nickname typed on the on-screen
# keyboard, its introduction, the map and the Garage; the volume changed in
# the settings; the credits, the help pages and the key assignment.
cat >"$work/screens.script" <<'SCRIPT'
wait 7600
key enter
wait 300
screenshot career_select.png
key enter
wait 300
key enter
wait 200
key enter
key right
key enter
key right
key enter
wait 200
screenshot career_keyboard.png
key 9
wait 200
key 3
wait 300
screenshot career_nickname.png
key 3
wait 300
screenshot career_select_one.png
key 3
wait 3000
key 9
wait 3000
screenshot career_map.png
key 3
wait 500
screenshot career_room.png
key 9
wait 300
key 9
wait 300
key down
key down
key enter
wait 300
screenshot settings.png
key left
wait 100
key 3
wait 300
key down
key enter
wait 300
screenshot credits.png
key 9
wait 300
key down
key enter
wait 300
screenshot help.png
key enter
wait 300
screenshot key_assign.png
key 9
wait 300
key down
key enter
wait 300
screenshot help_rules.png
key 9
wait 300
key 9
wait 300
quit
SCRIPT
rm -f "$work"/*.png
run "$work/screens.script"
shots="career_select career_keyboard career_nickname career_select_one career_map career_room settings credits help key_assign help_rules"
for shot in $shots; do
  [ -s "$work/$shot.png" ] || fail "missing screenshot $shot.png"
done
[ "$(byte "$docs/ksCareers.dat" 4)" = 1 ] || fail "the new career was not saved"
[ "$(od -An -c -j 52 -N3 "$docs/ksCareers.dat" | tr -d ' ')" = 123 ] || fail "the nickname typed is not the career's"
[ "$(od -An -tu4 -j 8 -N4 "$docs/ksCareers.dat" | tr -d ' ')" = 75 ] || fail "an easy career does not start with 75"
[ "$(byte "$docs/ksPref.dat" 16)" = 9 ] || fail "the volume set is not kept in the preferences"
cmp -s "$work/career_map.png" "$work/career_room.png" && fail "the room did not open from the map"
cmp -s "$work/help.png" "$work/key_assign.png" && fail "the key assignment did not open from the help"

# 6. The kept match again from Quick Play, put on hold from the in-game
# menu ("0", then its second button), and resumed at the next start.
cat >"$work/hold.script" <<'SCRIPT'
wait 7600
key down
wait 200
key enter
wait 3000
key 0
wait 300
screenshot in_game_menu.png
key down
wait 100
key enter
wait 6000
quit
SCRIPT
run "$work/hold.script"
[ -s "$work/in_game_menu.png" ] || fail "missing screenshot in_game_menu.png"
[ "$(size "$docs/ksQPSave.usr")" = 2892 ] || fail "the hold did not write the quick-play save"
[ "$(byte "$docs/ksPref.dat" 21)" = 1 ] || fail "the held match is not marked present"
log | grep -q "^Saving current game$" && fail "the hold did not end the match before the quit"
run "$work/resume.script"
[ "$(log | grep -c "^Ready to Play$")" = 1 ] || fail "the held match did not resume"

# 7. The career made in step 5 deleted from Career Play.
cat >"$work/delete.script" <<'SCRIPT'
wait 7600
key enter
wait 300
key down
wait 100
key enter
wait 300
screenshot career_delete.png
key enter
wait 300
screenshot career_deleted.png
quit
SCRIPT
run "$work/delete.script"
[ -s "$work/career_delete.png" ] || fail "missing screenshot career_delete.png"
[ "$(byte "$docs/ksCareers.dat" 4)" = 0 ] || fail "the career was not deleted"
[ "$(byte "$docs/ksPref.dat" 16)" = 9 ] || fail "the volume set in step 5 did not last through the restarts"
echo "a quick match played to its end; a match left was saved and resumed; one instance runs; the menu screens walked; a match held from the in-game menu resumed; a career deleted"
