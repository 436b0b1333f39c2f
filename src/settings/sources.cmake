list(APPEND SOURCES SettingsStore.cpp Konfiguracja.cpp StanProgramu.cpp)
