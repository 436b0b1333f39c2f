list(APPEND SOURCES Komunikaty.cpp RealSeams.cpp FormBlad.cpp FormOprogramie.cpp FormPomoc.cpp RamkaTekstu.cpp LiniaKomunikatu.cpp
    OknoPostepu.cpp PasekPostepu.cpp Ulatwienia.cpp OknoTekstu.cpp)
