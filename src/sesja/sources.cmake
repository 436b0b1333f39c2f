list(APPEND SOURCES Sesja.cpp SesjaKarta.cpp SesjaProjekt.cpp SesjaOdcinki.cpp)
list(APPEND SOURCES SesjaLista.cpp SesjaListaPraca.cpp SesjaWyjscie.cpp)
