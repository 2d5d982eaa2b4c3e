#!/usr/bin/env bash
# The command line: an option or argument the program does not know is refused with one line
# naming it and status 2; a tone named on the command line is loaded at the start (a file that
# cannot be read shows the tone file's message); and options given there are not remembered.
#
#   command_line_e2e.sh AEROLYRE EXAMPLES_DIR
set -euo pipefail
aerolyre=$1
examples=$2
source "$(dirname "$0")/e2e_lib.sh"
reg=$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg

refused() { # ARGS...: status 2 and one line naming the first argument given
    local status=0
    "$aerolyre" "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?
    [ "$status" -eq 2 ] || { echo "FAIL: '$*' ended with $status, not 2"; cat "$work/err.txt"; exit 1; }
    [ "$(wc -l <"$work/err.txt")" -eq 1 ] && grep -qF -- "$1" "$work/err.txt" ||
        { echo "FAIL: '$*': the message does not name what was not understood:"; cat "$work/err.txt"; exit 1; }
    echo "refused with status 2: aerolyre $* -> $(cat "$work/err.txt")"
}
refused --devices jack
refused --midi-out
refused -x
"$aerolyre" "$examples/tones/room.aly" "$examples/tones/plain.aly" 2>"$work/err.txt" && { echo "FAIL: two tones taken"; exit 1; }
grep -qF plain.aly "$work/err.txt" || { echo "FAIL: the second tone is not named"; cat "$work/err.txt"; exit 1; }
"$aerolyre" --help | grep -q -- '--tone' || { echo "FAIL: --help does not list --tone"; exit 1; }

# A first run, with --midi and a Qt option: MIDI out for this run only.
start_program "$aerolyre" --midi -style fusion
end_program
if grep -q '"Midi_Out"=dword:00000001' "$reg"; then echo "FAIL: --midi was remembered"; cat "$reg"; exit 1; fi

# A tone that cannot be read: the tone file's message.
start_program "$aerolyre" --tone "$work/no such tone.aly"
expect_message '設定ファイルの読み込みに失敗しました。'
end_program

# The example tone with its filters: the take of a short play keeps it whole, and its folder is not
# remembered for the file dialogs.
start_program "$aerolyre" "$examples/tones/room.aly" --take "$work/room.csv"
open_board
xdotool mousemove $((X + WIDTH / 2)) $((Y + 10))
sleep 0.5
close_board
xdotool mousemove $((mx + mw / 2)) $((my + 10))
end_program
cmp "$work/room.aly" "$examples/tones/room.aly" || { echo "FAIL: the take's tone is not the tone given"; exit 1; }
if grep -qF "$examples" "$reg"; then echo "FAIL: the command line's tone folder was remembered"; exit 1; fi
echo "the tone given on the command line played, and nothing of the command line was remembered"

# English for one run, from the command line or the environment: the messages and the board speak
# it, and nothing of it is remembered.
refused --language fr
start_program "$aerolyre" --language en --tone "$work/no such tone.aly"
expect_message 'Could not read the tone file.'
# The message came before the main dialog showed: its place is known only now.
geometry "$main"
mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
BOARD_TITLE='Performance Board'
open_board
sleep 0.5
close_board
end_program
start_program env AEROLYRE_LANGUAGE=en_GB.UTF-8 "$aerolyre" --tone "$work/no such tone.aly"
expect_message 'Could not read the tone file.'
end_program
if grep -q '"Language"' "$reg"; then echo "FAIL: the language was remembered"; cat "$reg"; exit 1; fi
BOARD_TITLE='演奏盤'
echo "English for one run from --language en and AEROLYRE_LANGUAGE, and not remembered"
echo "PASS"
