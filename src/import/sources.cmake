list(APPEND SOURCES Rozdzialy.cpp TekstZrodla.cpp Dzwiek.cpp KoderMp3.cpp CiecieMp3.cpp Daisy.cpp
     ArkuszCue.cpp ImportKsiazki.cpp ModulKodekow.cpp)
# The module of the decoding and encoding, loaded when needed (ModulKodekow.h).
set(KODEKI ModulKodekowAv.cpp)
