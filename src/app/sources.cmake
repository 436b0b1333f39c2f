list(APPEND CORE_SOURCES Text.cpp ZapisAtomowy.cpp)
list(APPEND UI_SOURCES MainForm.cpp RealSeams.cpp FormBlad.cpp)
