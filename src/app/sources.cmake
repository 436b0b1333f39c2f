list(APPEND CORE_SOURCES Text.cpp ZwyklyPlik.cpp)
list(APPEND UI_SOURCES MainForm.cpp RealSeams.cpp FormBlad.cpp)
