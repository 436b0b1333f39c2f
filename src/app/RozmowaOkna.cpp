#include "app/RozmowaOkna.h"

#include "app/MainForm.h"
#include "audio/MediaPlayer.h"
#include "audio/ui/FormDodawanie.h"
#include "audio/ui/FormPomiarGlosnosci.h"
#include "audio/ui/FormWykrywanie.h"
#include "base/Paths.h"
#include "card/ui/FormKopiowanie.h"
#include "eksport/ui/FormEksport.h"
#include "eksport/ui/FormEksportPostep.h"
#include "merge/ui/FormPodsumowanie.h"
#include "merge/ui/FormScalaniePlikow.h"
#include "widgets/BezZamrazania.h"
#include "widgets/Komunikaty.h"
#include "widgets/OknoTekstu.h"
#include "widgets/Seams.h"

#include <QApplication>

namespace {

QMessageBox::StandardButton przycisk(Rozmowa::Odpowiedz odpowiedz) {
    switch (odpowiedz) {
    case Rozmowa::Odpowiedz::Ok:
        return QMessageBox::Ok;
    case Rozmowa::Odpowiedz::Tak:
        return QMessageBox::Yes;
    case Rozmowa::Odpowiedz::Nie:
        return QMessageBox::No;
    case Rozmowa::Odpowiedz::Anuluj:
        return QMessageBox::Cancel;
    case Rozmowa::Odpowiedz::Otworz:
        return QMessageBox::Open;
    case Rozmowa::Odpowiedz::Brak:
        break;
    }
    return QMessageBox::NoButton;
}

Rozmowa::Odpowiedz odpowiedz(QMessageBox::StandardButton przycisk) {
    switch (przycisk) {
    case QMessageBox::Ok:
        return Rozmowa::Odpowiedz::Ok;
    case QMessageBox::Yes:
        return Rozmowa::Odpowiedz::Tak;
    case QMessageBox::No:
        return Rozmowa::Odpowiedz::Nie;
    case QMessageBox::Cancel:
        return Rozmowa::Odpowiedz::Anuluj;
    case QMessageBox::Open:
        return Rozmowa::Odpowiedz::Otworz;
    default:
        return Rozmowa::Odpowiedz::Brak;
    }
}

} // namespace

void RozmowaOkna::powiadom(const QString& tekst) {
    m_komunikaty.uwaga(tekst);
}

Rozmowa::Odpowiedz RozmowaOkna::zapytaj(const Pytanie& pytanie) {
    QMessageBox::StandardButtons przyciski = QMessageBox::Yes | QMessageBox::No;
    if (pytanie.zOtworz)
        przyciski |= QMessageBox::Open;
    if (pytanie.zAnuluj)
        przyciski |= QMessageBox::Cancel;
    if (pytanie.tytul.isEmpty())
        return odpowiedz(m_komunikaty.uwaga(pytanie.tekst, przyciski, przycisk(pytanie.domyslna),
                                            przycisk(pytanie.esc)));
    // A question with a caption of its own comes while a dialog is open (the
    // merge's offer of parts): its box belongs to that dialog, where the
    // user is.
    QWidget* wlasciciel = QApplication::activeModalWidget();
    return odpowiedz(
        m_komunikaty.seams().message(wlasciciel ? wlasciciel : &m_okno, Seams::Icon::Question,
                                     pytanie.tytul, nazwaDoPokazania(pytanie.tekst), przyciski,
                                     przycisk(pytanie.domyslna), przycisk(pytanie.esc)));
}

namespace {

Seams::FileDialog dialogPliku(const Rozmowa::WyborPlikow& wybor) {
    Seams::FileDialog dialog;
    dialog.title = wybor.tytul;
    dialog.folder = wybor.folder;
    dialog.fileName = wybor.nazwaPliku;
    dialog.filter = wybor.filtr;
    dialog.defaultSuffix = wybor.domyslneRozszerzenie;
    dialog.mustExist = wybor.musiIstniec;
    dialog.multiple = wybor.wiele;
    dialog.directory = wybor.katalog;
    return dialog;
}

} // namespace

QStringList RozmowaOkna::wybierzPliki(const WyborPlikow& wybor) {
    return m_komunikaty.seams().openFiles(&m_okno, dialogPliku(wybor));
}

QString RozmowaOkna::wybierzPlikDoZapisu(const WyborPlikow& wybor) {
    Seams::FileDialog dialog = dialogPliku(wybor);
    dialog.confirmOverwrite = false;
    return m_komunikaty.seams().saveFile(&m_okno, dialog);
}

void RozmowaOkna::oglos(const QString& tekst) {
    m_okno.oglos(tekst);
}

void RozmowaOkna::pokazListe(const QString& naglowek, const QStringList& linie) {
    m_okno.pokazFormBlad(naglowek, linie);
}

void RozmowaOkna::ustawStatus(const QString& tekst) {
    m_okno.ustawStatus(tekst);
}

bool RozmowaOkna::czekajBezZamrazania(const std::function<void()>& praca, int limitMs) {
    return bezZamrazania<bool>(
               [praca] {
                   praca();
                   return true;
               },
               limitMs)
        .has_value();
}

RaportKopiowania RozmowaOkna::kopiuj(const QStringList& pliki, const QString& korzen,
                                     const QStringList& zamien,
                                     const KopiowanieNaKarte& kopiowanie) {
    TFormKopiowanie okno(&m_okno);
    return okno.kopiuj(pliki, korzen, zamien, kopiowanie);
}

RaportSprawdzenia RozmowaOkna::sprawdz(const QStringList& pliki, const QString& korzen) {
    TFormKopiowanie okno(&m_okno, TFormKopiowanie::Tryb::Sprawdzanie);
    return okno.sprawdz(pliki, korzen);
}

WynikWysuniecia
RozmowaOkna::wysun(const QString& korzen,
                   const std::function<WynikWysuniecia(const QString&)>& wysuwanie) {
    TFormKopiowanie okno(&m_okno, TFormKopiowanie::Tryb::Wysuwanie);
    return okno.wysun(korzen, wysuwanie);
}

// ---- the list's long work --------------------------------------------------------

std::optional<ZmierzonePliki> RozmowaOkna::zmierzFolder(const QString& folder) {
    TFormDodawanie okno(&m_okno);
    return okno.zmierzFolder(folder);
}

WynikWykrywania RozmowaOkna::wykryj(const QStringList& pliki, int przerwaMs,
                                    const WykrywanieTytulow& wykrywanie, const QString& tytul,
                                    const QString& czynnosc) {
    TFormWykrywanie okno(&m_okno, tytul, czynnosc);
    return okno.wykryj(pliki, przerwaMs, wykrywanie);
}

WynikPomiaruGlosnosci RozmowaOkna::zmierzGlosnosc(const QStringList& pliki, PamiecGlosnosci& pamiec,
                                                  const MiernikGlosnosci& miernik) {
    TFormPomiarGlosnosci okno(&m_okno);
    return okno.zmierz(pliki, pamiec, miernik);
}

std::optional<QList<PlikKsiazki>> RozmowaOkna::zbadaj(const ListaPozycji& pozycje,
                                                      const MiernikMp3& miernik) {
    TFormBadanie okno(&m_okno);
    return okno.zbadaj(pozycje, miernik);
}

void RozmowaOkna::pokazRaportGlosnosci(const QStringList& linie) {
    if (!m_raportGlosnosci)
        m_raportGlosnosci =
            new OknoTekstu(&m_okno, QStringLiteral("FormGlosnosc"), QStringLiteral("Głośność"),
                           QStringLiteral("MemoGlosnosc"), QStringLiteral("Głośność pozycji"));
    m_raportGlosnosci->pokaz(linie);
    m_komunikaty.seams().execDialog(m_raportGlosnosci);
}

void RozmowaOkna::zatrzymajOdtwarzanie() {
    m_okno.m_MediaPlayer1->Close();
}

void RozmowaOkna::pokazWiersz(int wiersz) {
    m_okno.fokusNaLiscie(wiersz);
}

void RozmowaOkna::sygnal() {
    m_komunikaty.seams().beep();
}

void RozmowaOkna::osobno(const std::function<void()>& czesc) {
    m_komunikaty.guard(czesc);
}

void RozmowaOkna::scal(const UstawienieScalania& ustawienie) {
    m_okno.m_FormScalaniePlikow->przygotuj(ustawienie);
    m_komunikaty.seams().execDialog(m_okno.m_FormScalaniePlikow);
}

std::optional<WyborEksportu> RozmowaOkna::wybierzEksport(const WyborEksportu& wybor) {
    TFormEksport okno(&m_okno, m_komunikaty);
    okno.przygotuj(wybor);
    if (m_komunikaty.seams().execDialog(&okno) != QDialog::Accepted)
        return std::nullopt;
    return okno.wybor();
}

WynikEksportu RozmowaOkna::eksportuj(EksportKsiazki& eksport) {
    TFormEksportPostep postep(&m_okno);
    return postep.eksportuj(eksport);
}
