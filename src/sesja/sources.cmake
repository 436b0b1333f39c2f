list(APPEND SOURCES Sesja.cpp SesjaKarta.cpp SesjaProjekt.cpp)
