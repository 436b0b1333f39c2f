list(APPEND SOURCES Text.cpp Paths.cpp DataDirs.cpp CommandLine.cpp ZapisAtomowy.cpp ZwyklyPlik.cpp
    Czas.cpp FolderTymczasowy.cpp)
