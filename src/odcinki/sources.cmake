list(APPEND SOURCES Odcinki.cpp)
