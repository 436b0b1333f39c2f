list(APPEND SOURCES FormUstawZakladke.cpp FormWykrywanie.cpp WykresFali.cpp FormPomiarGlosnosci.cpp
    FormDodawanie.cpp FormPrzegladZakladek.cpp)
