list(APPEND CORE_SOURCES)
list(APPEND UI_SOURCES MainFormMerge.cpp MainFormOdcinki.cpp)
list(APPEND CORE_SOURCES Odcinki.cpp)
