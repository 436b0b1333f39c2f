list(APPEND SOURCES FormImport.cpp)
