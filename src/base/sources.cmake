list(APPEND SOURCES Text.cpp Paths.cpp DataDirs.cpp CommandLine.cpp ZapisAtomowy.cpp ZwyklyPlik.cpp
    Czas.cpp BledySystemu.cpp TozsamoscPlikow.cpp FolderTymczasowy.cpp
    PlikiTymczasowe.cpp Transakcja.cpp)
