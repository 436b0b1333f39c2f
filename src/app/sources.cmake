list(APPEND CORE_SOURCES Text.cpp)
list(APPEND UI_SOURCES MainForm.cpp RealSeams.cpp FormBlad.cpp FormPomoc.cpp LiniaKomunikatu.cpp)
