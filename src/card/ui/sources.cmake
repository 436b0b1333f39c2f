list(APPEND SOURCES FormKopiowanie.cpp)
