// AudioUnit re-exports AudioToolbox's Audio Unit API; see CMakeLists.txt.
