list(APPEND CORE_SOURCES ProjectFile.cpp ModelProjektu.cpp)
