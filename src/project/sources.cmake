list(APPEND CORE_SOURCES Paths.cpp ProjectFile.cpp)
list(APPEND UI_SOURCES MainFormProject.cpp)
