// Bookmarks by ear: the review of the entries' bookmarks one by one, set up
// and written by the session, played through the window's media player.

#include "app/MainForm.h"

#include "audio/MediaPlayer.h"
#include "audio/ui/FormPrzegladZakladek.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

void TMainForm::Przegladzakladek1Click() {
    PrzejrzyjZakladki();
}

void TMainForm::PrzejrzyjZakladki() {
    const QList<int> rows = wierszeDoPracy();
    if (rows.isEmpty())
        return;
    const auto wpisy = m_lista->wpisyPrzegladu(rows);
    if (!wpisy)
        return;
    UslugiPrzegladu uslugi;
    uslugi.odtworz = [this](const QString& path, std::int64_t od, std::int64_t doMs) {
        m_MediaPlayer1->FileName = path;
        m_MediaPlayer1->Open();
        m_MediaPlayer1->StartPos = od;
        m_MediaPlayer1->EndPos = doMs;
        m_MediaPlayer1->Play();
        ustawPauze(true);
    };
    uslugi.zatrzymaj = [this] {
        try {
            m_MediaPlayer1->Stop();
        } catch (...) { // nothing open: nothing plays
        }
    };
    uslugi.oglos = [this](const QString& tekst) { oglos(tekst); };
    uslugi.przerwa = [this] { return m_sesja->konfiguracja().Wykrywanie.Przerwa; };
    if (m_uslugi.wykrywanieTytulow)
        uslugi.wykryj = m_uslugi.wykrywanieTytulow;
    TFormPrzegladZakladek okno(this, m_komunikaty, uslugi);
    QList<TFormPrzegladZakladek::Wpis> wpisyOkna;
    for (const auto& [sciezka, zakladka] : *wpisy)
        wpisyOkna.append({sciezka, zakladka});
    okno.przygotuj(wpisyOkna);
    m_seams.execDialog(&okno);
    m_lista->zapiszPrzeglad(rows, okno.przeglad());
    fokusNaLiscie();
}
