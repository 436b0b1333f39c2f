list(APPEND SOURCES IndexFile.cpp MergeJob.cpp Miernik.cpp Odcinki.cpp PlikiTymczasowe.cpp
    Podsumowanie.cpp Formaty.cpp)
