-- Builds a session for Stammerix checks: one stereo track, Ardour's sine generator (1 kHz,
-- -36 dB) before the plug-in, 48 kHz, 4/4, and a range over the first four bars that the
-- check turns into the session range.
--
--   ardour7-lua session.lua DIR NAME EDITION TYPE MODE BAR
--
-- EDITION is lv2 or 2x; TYPE the recording type (0..7). MODE says how "recording" moves:
--   bar1   automated on through bar 1 and off from bar 2;
--   own1   automated on for one bar from frame 2400: the plug-in records while the
--          transport stands before an export starts, and only a switch that Ardour sends
--          after the start lets the recorder's own position start at 0 (Ardour switches a
--          plug-in that takes MIDI at the start of the first block after each point);
--   roll   no automation: on while the transport rolls in real time (from frame 0 past
--          the first bar), then off, the transport stopped and the session saved.
-- BAR is the bar's length in frames, which sets the tempo: 96000 is 120 bpm.
local dir, name, edition, rtype, mode, bar =
  arg[1], arg[2], arg[3], tonumber(arg[4]), arg[5], tonumber(arg[6])
local rate = 48000
local bpm = 4 * 60 * rate / bar

ARDOUR.config():set_hide_dummy_backend(false)
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no Dummy backend")
assert(create_session(dir, name, rate), "cannot create the session")

local function at(frame) return Temporal.timepos_t(frame) end

if bpm ~= 120 then
  local map = Temporal.TempoMap.write_copy()
  map:set_tempo(Temporal.Tempo(bpm, bpm, 4), at(0))
  Temporal.TempoMap.update(map)
end
assert(Temporal.TempoMap.read():sample_at_beats(Temporal.Beats(4, 0)) == bar,
  "Ardour's bar is not " .. bar .. " frames long")

local track = Session:new_audio_track(2, 2, nil, 1, "Loop", ARDOUR.PresentationInfo.max_order,
  ARDOUR.TrackMode.Normal, true):front()
-- Straight to the master bus: no pan law between the loop and the export.
track:panner_shell():set_bypassed(true)

local sine = ARDOUR.LuaAPI.new_plugin(Session, "SinGen", ARDOUR.PluginType.Lua, "")
assert(not sine:isnil(), "no SinGen")
assert(track:add_processor_by_index(sine, 0, nil, true) == 0)
ARDOUR.LuaAPI.set_processor_param(sine, 0, 1000) -- Hz
-- The generator eases its level in over a second of blocks, except a level this low, which it
-- takes at once: the sine is steady however few blocks Ardour runs before a take.
ARDOUR.LuaAPI.set_processor_param(sine, 1, -36) -- dB

-- Automation in audio time: in beat time its points would fall on whole ticks (12.5 frames).
local plugin
if edition == "lv2" then
  plugin = ARDOUR.LuaAPI.new_plugin_with_time_domain(Session,
    "https://stammerix-loop.io/lv2/stammerix", ARDOUR.PluginType.LV2,
    Temporal.TimeDomain.AudioTime, "")
else
  plugin = ARDOUR.LuaAPI.new_plugin_with_time_domain(Session, "Stammerix",
    ARDOUR.PluginType.LXVST, Temporal.TimeDomain.AudioTime, "")
end
assert(not plugin:isnil(), "Ardour did not find Stammerix (" .. edition .. ")")
assert(track:add_processor_by_index(plugin, 1, nil, true) == 0)
ARDOUR.LuaAPI.set_processor_param(plugin, 1, rtype / 7)

local function automate(on, off)
  local al, cl = ARDOUR.LuaAPI.plugin_automation(plugin, 0)
  assert(not al:isnil(), "no automation for recording")
  -- The LV2 plug-in's controls are named by port index, the 2.x module's by parameter index.
  local port = edition == "lv2" and 6 or 0
  local control = plugin:to_insert():to_automatable():automation_control(
    Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, port), false)
  -- Steps, not ramps.
  cl:set_interpolation(Evoral.InterpolationStyle.Discrete)
  if on > 0 then cl:add(at(0), 0, false, false) end
  cl:add(at(on), 1, false, false)
  cl:add(at(off), 0, false, false)
  control:set_automation_state(ARDOUR.AutoState.Play)
  -- The value the plug-in gets while the transport stands before the export locates.
  ARDOUR.LuaAPI.set_processor_param(plugin, 0, on > 0 and 0 or 1)
end

if mode == "bar1" then
  automate(0, bar)
elseif mode == "own1" then
  automate(2400, bar + 2400)
elseif mode == "roll" then
  ARDOUR.LuaAPI.set_processor_param(plugin, 0, 1)
  Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  -- Real time, but counted in frames: a busy machine may run the Dummy engine late.
  local waited = 0
  while Session:transport_sample() < bar + rate / 4 do
    ARDOUR.LuaAPI.usleep(20000)
    waited = waited + 1
    assert(waited < 1500, "the transport did not roll past bar 1 in 30 s")
  end
  -- Off before the stop: while the transport stands the plug-in would still write, at a
  -- bar position that no longer moves.
  ARDOUR.LuaAPI.set_processor_param(plugin, 0, 0)
  ARDOUR.LuaAPI.usleep(100000)
  Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  waited = 0
  while not Session:transport_stopped() do
    ARDOUR.LuaAPI.usleep(20000)
    waited = waited + 1
    assert(waited < 500, "the transport did not stop")
  end
  print(string.format("rolled to frame %d", Session:transport_sample()))
else
  error("unknown mode " .. tostring(mode))
end

Session:locations():add_range(at(0), at(4 * bar))
assert(Session:save_state("", false, false, false, false, false) == 0, "cannot save")
