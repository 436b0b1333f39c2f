list(APPEND SOURCES FormKopiowanie.cpp FormKarta.cpp)
