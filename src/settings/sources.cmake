list(APPEND CORE_SOURCES SettingsStore.cpp)
list(APPEND UI_SOURCES MainFormSettings.cpp)
