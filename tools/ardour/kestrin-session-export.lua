-- Ardour 7 (ardour7-lua): reopens the session kestrin-session-create.lua saved
-- and exports its first second through Kestrin 3 to KESTRIN_EXPORT_DIR/kestrin.wav.
local sessionDir = assert(os.getenv("KESTRIN_SESSION_DIR"), "KESTRIN_SESSION_DIR is not set")
local exportDir = assert(os.getenv("KESTRIN_EXPORT_DIR"), "KESTRIN_EXPORT_DIR is not set")
local kWavPreset = "75969a1c-3133-4694-864b-a1fa50e43348"  -- Ardour's "WAV @ session-rate"

AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:start(false)
local s = assert(load_session(sessionDir, "kestrin"), "the session cannot be opened")
local e = s:simple_export()
e:set_folder(exportDir)
e:set_name("kestrin")
e:set_preset(kWavPreset)
e:set_range(0, 48000)
assert(e:check_outputs() and e:run_export(), "the export failed")
print("kestrin-session exported")
close_session()
print("kestrin-session done")
