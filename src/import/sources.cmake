list(APPEND SOURCES Rozdzialy.cpp TekstZrodla.cpp Dzwiek.cpp KoderMp3.cpp CiecieMp3.cpp Daisy.cpp
     ArkuszCue.cpp ImportKsiazki.cpp)
