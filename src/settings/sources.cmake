list(APPEND CORE_SOURCES SettingsStore.cpp)
list(APPEND UI_SOURCES MainFormSettings.cpp FormUstawienia.cpp FormWybierzFolder.cpp ListaDyskow.cpp
    Kontrolki.cpp)
