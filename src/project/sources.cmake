list(APPEND CORE_SOURCES Paths.cpp)
list(APPEND UI_SOURCES MainFormProject.cpp)
