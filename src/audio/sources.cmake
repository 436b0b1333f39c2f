list(APPEND CORE_SOURCES Mp3Stream.cpp Mp3Probe.cpp MediaPlayer.cpp WykrywanieTytulu.cpp Zakladka.cpp)
list(APPEND UI_SOURCES FormUstawZakladke.cpp WykresFali.cpp)
