list(APPEND CORE_SOURCES Text.cpp DataDirs.cpp CommandLine.cpp ZapisAtomowy.cpp ZwyklyPlik.cpp)
list(APPEND UI_SOURCES MainForm.cpp RealSeams.cpp FormBlad.cpp FormPomoc.cpp LiniaKomunikatu.cpp)
