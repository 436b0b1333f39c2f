list(APPEND SOURCES FormUstawZakladke.cpp WykresFali.cpp)
