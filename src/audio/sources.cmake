list(APPEND CORE_SOURCES)
list(APPEND UI_SOURCES MainFormAudio.cpp MainFormPlayback.cpp)
