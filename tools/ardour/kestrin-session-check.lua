-- Ardour 7 (ardour7-lua): reopens the session kestrin-session-create.lua saved
-- and prints the Kestrin 3 setting it changed.
local sessionDir = assert(os.getenv("KESTRIN_SESSION_DIR"), "KESTRIN_SESSION_DIR is not set")
local kFeedbackL = 2

AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:start(false)
local s = assert(load_session(sessionDir, "kestrin"), "the session cannot be opened")
local route = s:route_by_name("Kestrin")
assert(not route:isnil(), "the track is gone")
local p = route:nth_plugin(0)
assert(not p:isnil(), "the plug-in is gone")
print("kestrin-session plugin " .. p:display_name())
print("kestrin-session feedback " .. ARDOUR.LuaAPI.get_processor_param(p, kFeedbackL, true))
close_session()
print("kestrin-session done")
