list(APPEND CORE_SOURCES Volumes.cpp FreeSpace.cpp CardFiles.cpp)
list(APPEND UI_SOURCES FormKopiowanie.cpp)
