list(APPEND SOURCES DokumentyDaisy.cpp EksportKsiazki.cpp TagiMp3.cpp UmieszczenieKsiazki.cpp
    KsiazkaDaisy.cpp Mp3ZRozdzialami.cpp)
