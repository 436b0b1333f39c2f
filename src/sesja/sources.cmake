list(APPEND SOURCES Sesja.cpp SesjaKarta.cpp SesjaProjekt.cpp SesjaOdcinki.cpp)
