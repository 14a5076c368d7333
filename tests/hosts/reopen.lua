-- Opens a saved session again, takes the sine generator off the track and saves, so that
-- an export plays only what Stammerix restored.
--   ardour7-lua reopen.lua DIR NAME
local dir, name = arg[1], arg[2]

ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no Dummy backend")
assert(load_session(dir, name), "cannot open the session")

local track = Session:route_by_name("Loop")
assert(not track:isnil(), "no track")
local sine = track:nth_plugin(0)
assert(not sine:isnil() and sine:display_name() == "SinGen", "no SinGen first on the track")
assert(track:remove_processor(sine, nil, true) == 0, "cannot remove SinGen")
local stammerix = track:nth_plugin(0)
assert(not stammerix:isnil() and stammerix:display_name() == "Stammerix", "Stammerix is gone")
assert(Session:save_state("", false, false, false, false, false) == 0, "cannot save")
