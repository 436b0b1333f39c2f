list(APPEND SOURCES MainForm.cpp MainFormProject.cpp MainFormSettings.cpp MainFormAudio.cpp
    MainFormPlayback.cpp MainFormMerge.cpp MainFormOdcinki.cpp MainFormCard.cpp
    MainFormEdycja.cpp MainFormOstatnie.cpp ListaProjektu.cpp
    MainFormLista.cpp MenuGlowne.cpp
    RozmowaOkna.cpp OdtwarzanieOkna.cpp MainFormKsiazkiNaKarcie.cpp MainFormPrzeglad.cpp MainFormImport.cpp)
