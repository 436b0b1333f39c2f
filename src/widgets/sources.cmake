list(APPEND SOURCES Komunikaty.cpp RealSeams.cpp FormBlad.cpp FormPomoc.cpp LiniaKomunikatu.cpp
    OknoPostepu.cpp PasekPostepu.cpp Ulatwienia.cpp OknoTekstu.cpp)
