list(APPEND CORE_SOURCES IndexFile.cpp MergeJob.cpp Miernik.cpp Odcinki.cpp PlikiTymczasowe.cpp)
list(APPEND UI_SOURCES FormScalaniePlikow.cpp)
