list(APPEND SOURCES FormUstawienia.cpp FormWybierzFolder.cpp ListaDyskow.cpp Kontrolki.cpp)
