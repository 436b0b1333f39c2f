list(APPEND SOURCES FormEksport.cpp FormEksportPostep.cpp)
