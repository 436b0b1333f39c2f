list(APPEND CORE_SOURCES SettingsStore.cpp)
list(APPEND UI_SOURCES FormUstawienia.cpp FormWybierzFolder.cpp ListaDyskow.cpp
    Kontrolki.cpp)
