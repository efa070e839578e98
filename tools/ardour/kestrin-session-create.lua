-- Ardour 7 (ardour7-lua): a session with Kestrin 3 on a stereo track and a
-- setting changed, saved. Run with
--   KESTRIN_SESSION_DIR=/tmp/k ardour7-lua kestrin-session-create.lua
-- (LV2_PATH must reach Kestrin.lv2). kestrin-session-check.lua reopens it and
-- kestrin-session-export.lua renders it.
local sessionDir = assert(os.getenv("KESTRIN_SESSION_DIR"), "KESTRIN_SESSION_DIR is not set")
local kFeedbackL = 2  -- the plug-in's control port

AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:start(false)
local s = assert(create_session(sessionDir, "kestrin", 48000), "the session cannot be created")
local track = s:new_audio_track(2, 2, nil, 1, "Kestrin", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
local p = ARDOUR.LuaAPI.new_plugin(s, "urn:tallowmere-dorovuvuru:kestrin3", ARDOUR.PluginType.LV2, "")
assert(not p:isnil(), "Ardour cannot load Kestrin 3")
track:to_route():add_processor_by_index(p, 0, nil, true)
print("kestrin-session plugin " .. p:display_name())
ARDOUR.LuaAPI.set_processor_param(p, kFeedbackL, 87.5)
print("kestrin-session feedback " .. ARDOUR.LuaAPI.get_processor_param(p, kFeedbackL, true))
s:save_state("", false, false, false, false, false)
close_session()
print("kestrin-session done")
