list(APPEND SOURCES ProjectFile.cpp ModelProjektu.cpp Przestawianie.cpp Otwieranie.cpp)
