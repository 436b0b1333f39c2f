// The project file: open, save, the unsaved-changes question, and what the
// program remembers between runs (recent projects, dialog folders, the
// window's place). A failure to store what it remembers never stops the
// command that changed it.

#include "base/Paths.h"
#include "base/TozsamoscPlikow.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "project/Otwieranie.h"
#include "sesja/Rozmowa.h"
#include "sesja/Sesja.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString pytanieZamiana(const QString& plik) {
    return QStringLiteral("Plik %1 już istnieje. Czy zamienić go?").arg(plik);
}

QString pytanieZmienionyPlik(const QString& plik) {
    return QStringLiteral("Plik projektu został zmieniony przez inny program, odkąd został tu "
                          "wczytany lub zapisany: %1. Zapisanie projektu zastąpi tamte zmiany. "
                          "Czy zastąpić go?")
        .arg(plik);
}

// Two names of one file: the same device and inode, so that hard links,
// symbolic links and bind mounts count as well as ".." in a name.
bool tenSamPlik(const QString& a, const QString& b) {
    const auto ta = tozsamoscPliku(a);
    return ta && ta == tozsamoscPliku(b);
}

} // namespace

bool Sesja::czyPorzucicZmiany() {
    if (!m_projekt.ProjektZmieniony())
        return true;
    // Esc and the close box mean "Anuluj": nothing happens.
    switch (m_rozmowa.zapytaj({QStringLiteral("Czy zapisać zmiany w projekcie?"), true,
                               Rozmowa::Odpowiedz::Tak, Rozmowa::Odpowiedz::Anuluj})) {
    case Rozmowa::Odpowiedz::Tak:
        // A cancelled save keeps the project; a failed one throws.
        return zapisz();
    case Rozmowa::Odpowiedz::Nie:
        return true;
    default:
        return false;
    }
}

bool Sesja::nowyProjekt() {
    if (!czyPorzucicZmiany())
        return false;
    m_historia.nowy();
    m_rozmowa.oglos(QStringLiteral("Nowy projekt: lista plików jest pusta"));
    return true;
}

QString Sesja::wybierzProjekt() {
    Rozmowa::WyborPlikow wybor;
    wybor.tytul = QStringLiteral("Otwórz projekt");
    wybor.nazwaPliku = m_projekt.NazwaProjektu();
    wybor.filtr = QStringLiteral("xml (*.xml)");
    wybor.musiIstniec = false;
    wybor.folder = m_stan.FolderProjektow;
    const QStringList wybrane = m_rozmowa.wybierzPliki(wybor);
    return wybrane.isEmpty() ? QString() : QDir::toNativeSeparators(wybrane.first());
}

bool Sesja::wczytajProjekt(const QString& path, bool zamiast) {
    const PozycjePlikuProjektu wczytane =
        zamiast ? m_historia.otworz(path) : m_historia.wczytaj(path);
    if (!wczytane.korzenProjekt) {
        m_rozmowa.powiadom(QStringLiteral("Nieprawidlowy plik z danymi o projekcie"));
        return false;
    }
    zapamietajProjekt(path);
    if (const PominietePozycje p = pominietePozycje(wczytane); !p.wiersze.isEmpty())
        m_rozmowa.pokazListe(p.naglowek, p.wiersze);
    return true;
}

bool Sesja::czyZastapicZmienionyPlik(const QString& path) {
    if (!m_projekt.plikZmienionyPrzezInnyProgram(path))
        return true;
    // Esc and the default keep the other program's version.
    return m_rozmowa.zapytaj(Rozmowa::pytanieNieDomyslnie(pytanieZmienionyPlik(path))) ==
           Rozmowa::Odpowiedz::Tak;
}

bool Sesja::zapisz() {
    if (m_projekt.NazwaProjektu().isEmpty())
        return zapiszJako();
    if (!czyZastapicZmienionyPlik(m_projekt.NazwaProjektu()))
        return false;
    m_historia.zapisz(m_projekt.NazwaProjektu());
    zapamietajProjekt(m_projekt.NazwaProjektu());
    return true;
}

bool Sesja::zapiszJako() {
    Rozmowa::WyborPlikow wybor;
    wybor.tytul = QStringLiteral("Zapisz projekt jako");
    wybor.nazwaPliku = m_nazwaZapisu;
    wybor.filtr = QStringLiteral("xml (*.xml)");
    wybor.domyslneRozszerzenie = QStringLiteral("xml");
    wybor.folder = m_stan.FolderProjektow;
    QString name = m_rozmowa.wybierzPlikDoZapisu(wybor);
    if (name.isEmpty())
        return false;
    name = QDir::toNativeSeparators(name);
    if (ExRozszerzenie(name) != u"xml")
        name += QStringLiteral(".xml");
    m_nazwaZapisu = name;
    // The dialog does not ask before replacing a file: another project of
    // that name is replaced only when the user says so.
    if (QFileInfo::exists(name) && !tenSamPlik(name, m_projekt.NazwaProjektu()) &&
        m_rozmowa.zapytaj(Rozmowa::pytanieNieDomyslnie(pytanieZamiana(name))) !=
            Rozmowa::Odpowiedz::Tak)
        return false;
    if (!czyZastapicZmienionyPlik(name))
        return false;
    m_historia.zapisz(name);
    zapamietajProjekt(name);
    return true;
}

bool Sesja::zapiszProjekt() {
    if (!zapisz())
        return false;
    m_rozmowa.oglos(QStringLiteral("Zapisano projekt ") +
                    QFileInfo(m_projekt.NazwaProjektu()).fileName());
    return true;
}

bool Sesja::zapiszProjektJako() {
    if (!zapiszJako())
        return false;
    m_rozmowa.oglos(QStringLiteral("Zapisano projekt ") +
                    QFileInfo(m_projekt.NazwaProjektu()).fileName());
    return true;
}

// ---- what the program remembers ---------------------------------------------------

void Sesja::odczytajStan() {
    m_stan = odczytajStanProgramu(m_store);
}

QString Sesja::ostatni(int numer) const {
    return m_stan.OstatnieProjekty.value(numer - 1);
}

void Sesja::zapamietajProjekt(const QString& path) {
    dopiszOstatni(m_stan.OstatnieProjekty, path);
    m_stan.FolderProjektow = ExSciezka(path);
    if (m_przyZmianieOstatnich)
        m_przyZmianieOstatnich();
    zapiszStan();
}

void Sesja::zapamietajFolderAudio(const QString& path) {
    m_stan.FolderAudio = ExSciezka(path);
    zapiszStan();
}

void Sesja::zapamietajGeometrie(const QString& geometria) {
    m_stan.Geometria = geometria;
    zapiszStan();
}

void Sesja::zapiszStan() {
    zapiszStanProgramu(m_store, m_stan);
}
