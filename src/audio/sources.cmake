list(APPEND CORE_SOURCES Mp3Stream.cpp Mp3Probe.cpp)
list(APPEND UI_SOURCES)
