list(APPEND SOURCES FormScalaniePlikow.cpp FormPodsumowanie.cpp)
