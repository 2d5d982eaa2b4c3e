-- A session with one MIDI track playing the plugin, through Ardour's "None (Dummy)" backend.
--   ardour7-lua make_session.lua DIR NAME RATE
local dir, name, rate = arg[1], arg[2], tonumber(arg[3])
ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy backend")
local s = create_session(dir, name, rate)
assert(s, "the session was not made")
local midi = ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1)
local audio = ARDOUR.ChanCount(ARDOUR.DataType("audio"), 1)
local tracks = s:new_midi_track(midi, audio, true, ARDOUR.PluginInfo(), nil, nil, 1, "Aerolyre",
                                ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
assert(tracks:size() == 1, "no track")
for t in tracks:iter() do
  local p = ARDOUR.LuaAPI.new_plugin(s, "https://aerolyre.org/plugins/aerolyre", ARDOUR.PluginType.LV2, "")
  assert(not p:isnil(), "Ardour does not find the plugin")
  assert(t:add_processor_by_index(p, 0, nil, true), "the plugin did not go on the track")
end
-- Ardour connects a new track to the master bus on a thread of its own: wait for it, so the saved
-- session plays into the master bus.
local master_in = s:master_out():input():audio(0):name()
for t in tracks:iter() do
  local out = t:output():audio(0)
  for _ = 1, 100 do
    if out:connected_to(master_in) then break end
    ARDOUR.LuaAPI.usleep(50000)
  end
  assert(out:connected_to(master_in), "the track is not connected to the master bus")
end
s:save_state("", false, false, false, false, false)
close_session()
print("session made")
