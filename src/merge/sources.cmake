list(APPEND SOURCES IndexFile.cpp MergeJob.cpp Miernik.cpp Odcinki.cpp
    Podsumowanie.cpp Formaty.cpp UkladKsiazki.cpp
    TekstyWyrownania.cpp)
