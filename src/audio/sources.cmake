list(APPEND SOURCES Mp3Stream.cpp Mp3Probe.cpp PamiecPomiarow.cpp MediaPlayer.cpp WykrywanieTytulu.cpp OknaDzwieku.cpp
     Zakladka.cpp Glosnosc.cpp DopasowanieDoPrzerw.cpp WzmocnienieRamek.cpp RaportGlosnosci.cpp
     NaglowekXing.cpp StanPliku.cpp PrzegladZakladek.cpp)
