-- Opens a session as Ardour does and saves it again in Ardour's own words.
--   ardour7-lua resave_session.lua DIR NAME
ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy backend")
local s = load_session(arg[1], arg[2])
assert(s, "the session did not open")
s:save_state("", false, false, false, false, false)
close_session()
print("session saved again")
