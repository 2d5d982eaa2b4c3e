-- A session with one MIDI track playing the plugin, through Ardour's "None (Dummy)" backend.
--   ardour7-lua make_session.lua DIR NAME RATE
local dir, name, rate = arg[1], arg[2], tonumber(arg[3])
ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy backend")
local s = create_session(dir, name, rate)
assert(s, "the session was not made")
local pi = ARDOUR.LuaAPI.new_plugin_info("https://aerolyre.org/plugins/aerolyre", ARDOUR.PluginType.LV2)
assert(not pi:isnil(), "Ardour does not find the plugin")
local midi = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1)
local audio = ARDOUR.ChanCount(ARDOUR.DataType("audio"), 1)
local tracks = s:new_midi_track(midi, audio, true, pi, nil, nil, 1, "Aerolyre", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true, false)
assert(tracks:size() == 1, "no track")
s:save_state("", false, false, false, false, false)
close_session()
print("session made")
