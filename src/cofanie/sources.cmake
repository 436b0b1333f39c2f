list(APPEND SOURCES HistoriaProjektu.cpp)
