list(APPEND SOURCES IndexFile.cpp ZadanieScalania.cpp Miernik.cpp
    Podsumowanie.cpp Formaty.cpp UkladKsiazki.cpp
    TekstyWyrownania.cpp PrzejscieWpisu.cpp WyrownanieWpisow.cpp ZapisKsiazki.cpp
    CzesciKsiazki.cpp ZadanieScalaniaCzesci.cpp)
