list(APPEND SOURCES FormScalaniePlikow.cpp)
