#!/usr/bin/env bash
# End to end: settings and tones survive a restart. The first run types a buffer size the play
# command refuses and saves a tone whose range it refuses; the second run, under the same home,
# finds the buffer text restored (play says 1000), then loads the tone (play says 1001).
#
#   restart_e2e.sh AEROLYRE
set -euo pipefail
aerolyre=$1
source "$(dirname "$0")/e2e_lib.sh"
tone=$work/saved.aly

start_program "$aerolyre"
type_into_du 73 201 "12345"
type_into_du 234 30 "9"
click_du 286 153
answer_file_dialog 'Save|保存' "$tone"
end_program
[ -s "$tone" ] || { echo "FAIL: the tone file was not written"; exit 1; }
grep -qF '"Process_BufSize"="12345"' "$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg" ||
    { echo "FAIL: the buffer text was not saved"; cat "$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg"; exit 1; }

start_program "$aerolyre"
click_du 165 290
expect_message 'バッファのサイズは１～10000にして下さい'
type_into_du 73 201 "400"
click_du 223 153
answer_file_dialog 'Open|開く' "$tone"
click_du 165 290
expect_message '音域は１～７オクターブにして下さい'
end_program
grep -qF "\"Nerio_Path\"=\"$tone\"" "$XDG_CONFIG_HOME/Velmora/Aerolyre/registry.reg" ||
    { echo "FAIL: the tone path was not kept"; exit 1; }
echo "settings and tone survived the restart"
