list(APPEND UI_SOURCES MainForm.cpp MainFormProject.cpp MainFormSettings.cpp MainFormAudio.cpp
    MainFormPlayback.cpp MainFormMerge.cpp MainFormOdcinki.cpp MainFormCard.cpp RealSeams.cpp
    FormBlad.cpp FormPomoc.cpp LiniaKomunikatu.cpp)
