list(APPEND SOURCES MainForm.cpp MainFormProject.cpp MainFormSettings.cpp MainFormAudio.cpp
    MainFormPlayback.cpp MainFormMerge.cpp MainFormOdcinki.cpp MainFormCard.cpp
    MainFormEdycja.cpp MainFormOstatnie.cpp ListaProjektu.cpp MainFormWykrywanie.cpp
    MainFormPodsumowanie.cpp MainFormEksport.cpp MainFormGlosnosc.cpp MainFormWskazane.cpp
    RozmowaOkna.cpp MainFormKsiazkiNaKarcie.cpp MainFormPrzeglad.cpp MainFormImport.cpp)
