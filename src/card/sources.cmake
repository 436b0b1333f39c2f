list(APPEND SOURCES Volumes.cpp FreeSpace.cpp CardFiles.cpp KsiazkaNaKarcie.cpp Wysuwanie.cpp UDisks2.cpp
    KartaKsiazek.cpp NaglowekMp3.cpp)
