#include "eksport/EksportKsiazki.h"

#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "audio/NaglowekXing.h"
#include "audio/StanPliku.h"
#include "base/BledySystemu.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/TozsamoscPlikow.h"
#include "base/Transakcja.h"
#include "base/ZapisAtomowy.h"
#include "base/ZwyklyPlik.h"
#include "eksport/DokumentyDaisy.h"
#include "eksport/KsiazkaDaisy.h"
#include "eksport/Mp3ZRozdzialami.h"
#include "eksport/UmieszczenieKsiazki.h"
#include "merge/Formaty.h"
#include "merge/Miernik.h"
#include "merge/PrzejscieWpisu.h"
#include "merge/UkladKsiazki.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString natywna(const QString& sciezka) {
    return QDir::toNativeSeparators(sciezka);
}

// Thrown by the frame walk's callback to stop it.
struct Przerwanie {};

// Where the audio of a file starts when it opens with an encoder's
// information frame: after the tags in front of it (ID3v2, APE with its
// header), which the frame walk passes over.
std::int64_t poTagachNaPoczatku(int fd, std::int64_t rozmiar) {
    std::int64_t poz = 0;
    for (;;) {
        unsigned char t[32];
        const ssize_t n = ::pread(fd, t, sizeof t, poz);
        if (n >= 10 && std::memcmp(t, "ID3", 3) == 0 && t[3] >= 2 && t[3] <= 4 &&
            !((t[6] | t[7] | t[8] | t[9]) & 0x80)) {
            poz +=
                10 + ((t[6] << 21) | (t[7] << 14) | (t[8] << 7) | t[9]) + ((t[5] & 0x10) ? 10 : 0);
        } else if (n == 32 && std::memcmp(t, "APETAGEX", 8) == 0 && (t[23] & 0x20)) {
            poz += 32 + qFromLittleEndian<quint32>(t + 12);
        } else {
            return std::min(poz, rozmiar);
        }
    }
}

} // namespace

OpisKsiazki uzupelnijOpis(OpisKsiazki opis, const ListaPozycji& pozycje,
                          const QString& plikProjektu) {
    QString album, wykonawca;
    for (const PozycjaProjektu& p : pozycje) {
        if (!album.isEmpty() && !wykonawca.isEmpty())
            break;
        if (!zbadajPlik(p.sciezka()).zwykly())
            continue;
        const TagWpisu tag = czytajTagWpisu(p.sciezka());
        if (album.isEmpty())
            album = tag.album;
        if (wykonawca.isEmpty())
            wykonawca = tag.wykonawca;
    }
    if (opis.tytul.isEmpty())
        opis.tytul = !album.isEmpty() ? album : QFileInfo(plikProjektu).completeBaseName();
    if (opis.autor.isEmpty())
        opis.autor = wykonawca;
    if (opis.jezyk.isEmpty())
        opis.jezyk = QStringLiteral("pl");
    return opis;
}

OpisKsiazki sprawdzonyOpis(const OpisKsiazki& wejscie) {
    OpisKsiazki opis;
    auto czysty = [](const QString& t) { return bezZnakowSpozaXml(t).simplified(); };
    opis.tytul = czysty(wejscie.tytul);
    opis.autor = czysty(wejscie.autor);
    opis.lektor = czysty(wejscie.lektor);
    opis.jezyk = czysty(wejscie.jezyk);
    opis.rok = czysty(wejscie.rok);
    opis.wydawca = czysty(wejscie.wydawca);
    opis.okladka = bezZnakowSpozaXml(wejscie.okladka).trimmed();
    if (opis.tytul.isEmpty())
        throw SonvekError(QStringLiteral("Podaj tytuł książki"));
    if (opis.jezyk.isEmpty())
        opis.jezyk = QStringLiteral("pl");
    static const QRegularExpression jezyk(QStringLiteral("^[A-Za-z]{2,3}(-[A-Za-z0-9]{1,8})*$"));
    if (!jezyk.match(opis.jezyk).hasMatch())
        throw SonvekError(QStringLiteral("„%1” nie jest kodem języka; podaj kod taki jak „pl” "
                                         "albo „en-GB”")
                              .arg(opis.jezyk));
    static const QRegularExpression rok(QStringLiteral("^[0-9]{1,4}$"));
    if (!opis.rok.isEmpty() && !rok.match(opis.rok).hasMatch())
        throw SonvekError(
            QStringLiteral("„%1” nie jest rokiem; podaj rok cyframi, np. 2024").arg(opis.rok));
    return opis;
}

Okladka wczytajOkladke(const QString& sciezka) {
    const QString nazwa = natywna(sciezka);
    QFile plik;
    if (const QString powod = otworzZwyklyPlik(plik, sciezka); !powod.isEmpty())
        throw SonvekError(QStringLiteral("Nie można otworzyć okładki %1: %2").arg(nazwa, powod));
    if (plik.size() > kMaksRozmiarOkladki)
        throw SonvekError(QStringLiteral("Okładka %1 jest za duża: ma ponad 5 MB").arg(nazwa));
    Okladka okladka;
    okladka.dane = plik.read(kMaksRozmiarOkladki + 1);
    if (plik.error() != QFileDevice::NoError)
        throw SonvekError(
            QStringLiteral("Nie można odczytać okładki %1: %2").arg(nazwa, plik.errorString()));
    if (okladka.dane.size() > kMaksRozmiarOkladki)
        throw SonvekError(QStringLiteral("Okładka %1 jest za duża: ma ponad 5 MB").arg(nazwa));
    if (okladka.dane.startsWith("\xFF\xD8\xFF"))
        okladka.typ = QStringLiteral("image/jpeg");
    else if (okladka.dane.startsWith("\x89PNG\r\n\x1A\n"))
        okladka.typ = QStringLiteral("image/png");
    else
        throw SonvekError(
            QStringLiteral("Plik %1 nie jest obrazem JPEG ani PNG; okładką może być tylko taki "
                           "obraz")
                .arg(nazwa));
    return okladka;
}

EksportKsiazki::EksportKsiazki(ListaPozycji pozycje, OpisKsiazki opis)
    : m_pozycje(std::move(pozycje)), m_opis(std::move(opis)) {}

EksportKsiazki::~EksportKsiazki() = default;

void EksportKsiazki::uwaga(const QString& linia) {
    m_uwagi.append(linia);
    loguj(linia);
}

void EksportKsiazki::sprawdzPrzerwanie() const {
    if (maPrzerwac())
        throw EPrzerwanyEksport(QStringLiteral("Eksport przerwany"));
}

void EksportKsiazki::dodajPostep(std::int64_t bajty) {
    m_zrobione += bajty;
    if (postep)
        postep(m_zrobione, std::max(m_zrobione, m_wszystkie));
    sprawdzPrzerwanie();
}

QList<EksportKsiazki::CelDoZastapienia> EksportKsiazki::celeDoZastapienia() const {
    sprawdzCele(true);
    QList<CelDoZastapienia> cele;
    if (!folderDaisy.isEmpty()) {
        const ZawartoscFolderu z = rozpoznajFolder(folderDaisy);
        const QString nazwa = natywna(folderDaisy);
        if (z.rodzaj == ZawartoscFolderu::Ksiazka)
            cele.append({folderDaisy,
                         QStringLiteral("Folder %1 zawiera książkę DAISY utworzoną wcześniej przez "
                                        "SonvekManager (rozdziałów: %2). Czy zastąpić ją nową? "
                                        "Poprzednia książka zostanie usunięta.")
                             .arg(nazwa)
                             .arg(z.rozdzialy)});
        else if (z.rodzaj == ZawartoscFolderu::Pusty)
            cele.append({folderDaisy, QStringLiteral("Folder %1 już istnieje i jest pusty. Czy "
                                                     "zapisać w nim książkę DAISY?")
                                          .arg(nazwa)});
    }
    if (!plikRozdzialow.isEmpty() && QFileInfo::exists(plikRozdzialow))
        cele.append({plikRozdzialow, QStringLiteral("Plik %1 już istnieje. Czy zastąpić go nowym "
                                                    "plikiem MP3 z rozdziałami?")
                                         .arg(natywna(plikRozdzialow))});
    return cele;
}

// Refuses targets that are of the wrong kind, exist without `zastap`, are
// links, would replace or remove what the export reads or keeps, or are
// folders that are no book of this program.
void EksportKsiazki::sprawdzCele(bool wolnoZastapic) const {
    if (folderDaisy.isEmpty() && plikRozdzialow.isEmpty())
        throw SonvekError(QStringLiteral("Wybierz, co wyeksportować: książkę DAISY, plik MP3 z "
                                         "rozdziałami albo jedno i drugie"));
    const QString daisy = natywna(folderDaisy), mp3 = natywna(plikRozdzialow);
    const TozsamoscPlikow cele({folderDaisy, plikRozdzialow});
    if (const auto k = cele.dowiazanie())
        throw SonvekError(odmowaDowiazania(*k == 0 ? folderDaisy : plikRozdzialow));
    const QFileInfo infoDaisy(folderDaisy), infoMp3(plikRozdzialow);
    if (!folderDaisy.isEmpty()) {
        if (infoDaisy.exists() && !infoDaisy.isDir())
            throw SonvekError(QStringLiteral("Nie można utworzyć folderu %1: istnieje plik o tej "
                                             "nazwie")
                                  .arg(daisy));
        if (infoDaisy.exists() && !wolnoZastapic)
            throw SonvekError(QStringLiteral("Folder %1 już istnieje").arg(daisy));
        if (!infoDaisy.absoluteDir().exists())
            throw SonvekError(
                QStringLiteral("Folder %1 nie istnieje").arg(natywna(infoDaisy.absolutePath())));
    }
    if (!plikRozdzialow.isEmpty()) {
        if (infoMp3.isDir())
            throw SonvekError(QStringLiteral("Nie można utworzyć pliku %1: istnieje folder o tej "
                                             "nazwie")
                                  .arg(mp3));
        if (infoMp3.exists() && !wolnoZastapic)
            throw SonvekError(QStringLiteral("Plik %1 już istnieje").arg(mp3));
    }
    ChronionePliki chronione{plikProjektu, {}, magazyn};
    for (const PozycjaProjektu& p : m_pozycje)
        chronione.wpisy.append(p.sciezka());
    if (const std::optional<Kolizja> k = cele.kolizja(chronione)) {
        const QString co = natywna(k->sciezka);
        if (k->cel == 0 && k->rodzaj == Kolizja::Magazyn)
            throw SonvekError(QStringLiteral("Nie można zastąpić folderu %1: to folder na scalone "
                                             "książki (%2) albo folder, w którym on leży. Wybierz "
                                             "inny folder")
                                  .arg(daisy, co));
        if (k->cel == 0)
            throw SonvekError(
                QStringLiteral("Nie można zastąpić folderu %1: jest w nim plik %2, %3. Wybierz "
                               "inny folder")
                    .arg(daisy, co,
                         k->rodzaj == Kolizja::Projekt ? QStringLiteral("plik projektu")
                                                       : QStringLiteral("z którego powstaje "
                                                                        "książka")));
        throw SonvekError(
            QStringLiteral("Nie można zapisać pliku %1: to %2. Wybierz inną nazwę")
                .arg(mp3, k->rodzaj == Kolizja::Projekt
                              ? QStringLiteral("plik projektu")
                              : QStringLiteral("plik %1, z którego powstaje książka").arg(co)));
    }
    if (!plikRozdzialow.isEmpty()) {
        // Not in the book's folder, which is replaced whole.
        const TozsamoscPlikow folder({folderDaisy});
        const QString w = infoMp3.absoluteFilePath();
        const QString d = infoDaisy.absoluteFilePath() + u'/';
        if (!folderDaisy.isEmpty() &&
            (w == infoDaisy.absoluteFilePath() || w.startsWith(d) || folder.ktory(plikRozdzialow) ||
             folder.ktory(infoMp3.absolutePath())))
            throw SonvekError(QStringLiteral("Plik MP3 z rozdziałami nie może leżeć w folderze "
                                             "książki DAISY %1")
                                  .arg(daisy));
    }
    // Only a book this program made is ever replaced (and so removed).
    if (infoDaisy.exists()) {
        const ZawartoscFolderu z = rozpoznajFolder(folderDaisy);
        if (z.rodzaj == ZawartoscFolderu::Obcy)
            throw SonvekError(QStringLiteral("Folder %1 nie zostanie zastąpiony: nie jest książką "
                                             "DAISY utworzoną przez SonvekManager (%2), a program "
                                             "usuwa tylko to, co sam zapisał. Wybierz nowy albo "
                                             "pusty folder")
                                  .arg(daisy, z.powod));
    }
}

// Walks every entry's frames for its exact duration and where its audio
// lies, and reads its title.
void EksportKsiazki::zmierz() {
    m_rozdzialy.clear();
    m_formaty.clear();
    m_nowyNaglowek.clear();
    std::int64_t poczatek = 0;
    UkladKsiazki uklad;
    for (int i = 0; i < m_pozycje.size(); ++i) {
        sprawdzPrzerwanie();
        const PozycjaProjektu& p = m_pozycje.at(i);
        const QString sciezka = p.sciezka();
        const QString nazwa = natywna(sciezka);
        const RodzajPliku rodzaj = zbadajPlik(sciezka);
        if (!rodzaj.istnieje)
            throw SonvekError(QStringLiteral("Nie ma pliku %1 pozycji %2").arg(nazwa).arg(i + 1));
        RozdzialKsiazki r;
        r.plik = sciezka;
        int fd = -1;
        if (const QString powod = otworzZwyklyDeskryptor(sciezka, fd, r.rozmiar); !powod.isEmpty())
            throw SonvekError(QStringLiteral("Plik %1 pozycji %2 nie nadaje się do eksportu: %3")
                                  .arg(nazwa)
                                  .arg(i + 1)
                                  .arg(powod));
        struct stat st {};
        ::fstat(fd, &st);
        r.czasZmiany = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        const std::int64_t poTagach = poTagachNaPoczatku(fd, r.rozmiar);
        ::close(fd);
        loguj(QStringLiteral("Mierzenie pliku %1").arg(nazwa));
        std::int64_t ramki = 0;
        std::array<unsigned char, 4> pierwszaRamka{};
        Mp3Info info;
        try {
            info = probeMp3(sciezka, [&](const Mp3Frame& f) {
                if (ramki == 0 && f.data)
                    std::copy(f.data, f.data + 4, pierwszaRamka.begin());
                if (++ramki % 4096 == 0 && maPrzerwac())
                    throw Przerwanie{};
                if (!r.dzwiek.isEmpty() && r.dzwiek.last().second == f.offset)
                    r.dzwiek.last().second += f.bytes;
                else if (f.offset >= 0)
                    r.dzwiek.append({f.offset, f.offset + f.bytes});
            });
        } catch (const Przerwanie&) {
            throw EPrzerwanyEksport(QStringLiteral("Eksport przerwany"));
        } catch (const SonvekError& e) {
            throw SonvekError(QStringLiteral("Plik %1 pozycji %2 nie jest plikiem MP3: %3")
                                  .arg(nazwa)
                                  .arg(i + 1)
                                  .arg(e.text()));
        }
        m_formaty.append(FormatDzwieku{info.sampleRate, info.channels, info.version, info.layer});
        if (i == 0 && info.infoOffset < 0)
            m_nowyNaglowek = pustaRamkaInformacyjna(pierwszaRamka).value_or(m_nowyNaglowek);
        r.dlugosc = info.ticks;
        if (r.dlugosc <= 0 || r.dzwiek.isEmpty())
            throw SonvekError(
                QStringLiteral("Plik %1 pozycji %2 nie zawiera dźwięku MP3").arg(nazwa).arg(i + 1));
        // The encoder's information frame, which the walk does not report,
        // stays with the audio it describes.
        if (info.walkedTicks > info.ticks && poTagach < r.dzwiek.first().first)
            r.dzwiek.first().first = poTagach;
        for (const auto& [od, doBajtu] : std::as_const(r.dzwiek))
            r.bajtyDzwieku += doBajtu - od;
        r.poczatek = poczatek;
        poczatek += r.dlugosc;
        PomiarMp3 pomiar;
        pomiar.jednostekNaMs = kTicksPerMs;
        pomiar.czas = info.ticks;
        pomiar.czasWKsiazce = info.walkedTicks;
        pomiar.dlugoscMs = tikiNaMs(info.ticks);
        uklad.dodaj(pomiar, r.bajtyDzwieku);
        r.poczatekWKsiazce = uklad.wpisy().last().czasOd;
        r.dlugoscWKsiazce = uklad.wpisy().last().czas;
        // The tag's title, else the file's name without ".mp3", else whole.
        const QString plik = nazwaDoPokazania(ExNazwaPliku(sciezka));
        QString bezRozszerzenia = plik;
        if (bezRozszerzenia.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
            bezRozszerzenia.chop(4);
        for (const QString& tytul : {czytajTagWpisu(sciezka).tytul, bezRozszerzenia, plik}) {
            r.tytul = bezZnakowSpozaXml(tytul).simplified();
            if (!r.tytul.isEmpty())
                break;
        }
        if (r.tytul.isEmpty())
            r.tytul = QStringLiteral("Rozdział %1").arg(i + 1);
        r.poziom =
            std::clamp(tryStrToInt(p.Poziom).value_or(1), 1,
                       m_rozdzialy.isEmpty() ? 1 : std::min(m_rozdzialy.last().poziom + 1, 6));

        const std::optional<std::int32_t> od = tryStrToInt(p.Poczatek);
        const std::optional<std::int32_t> dlugosc = tryStrToInt(p.Dlugosc);
        if (!od || !dlugosc)
            throw SonvekError(QStringLiteral("Zakładka pozycji %1 (%2) nie jest liczbą: "
                                             "początek „%3”, długość „%4”")
                                  .arg(i + 1)
                                  .arg(nazwa, p.Poczatek, p.Dlugosc));
        const std::int64_t dzwiek = tikiNaMs(r.dlugosc);
        const std::int64_t zOd = std::max<std::int64_t>(0, *od);
        const std::int64_t zDo = zOd + std::max<std::int64_t>(0, *dlugosc);
        r.zapowiedzOd = std::min(zOd, dzwiek);
        r.zapowiedzDo = std::min(zDo, dzwiek);
        if (zOd >= dzwiek)
            uwaga(QStringLiteral("Uwaga: zakładka pozycji %1 (%2) zaczyna się w %3 ms, a dźwięk "
                                 "pliku trwa %4 ms; rozdział w książce DAISY zaczyna się na "
                                 "początku pliku")
                      .arg(i + 1)
                      .arg(nazwa)
                      .arg(zOd)
                      .arg(dzwiek));
        else if (zDo > dzwiek)
            uwaga(QStringLiteral("Uwaga: zakładka pozycji %1 (%2) kończy się w %3 ms, a dźwięk "
                                 "pliku trwa %4 ms; zapowiedź rozdziału w książce DAISY kończy "
                                 "się na końcu pliku")
                      .arg(i + 1)
                      .arg(nazwa)
                      .arg(zDo)
                      .arg(dzwiek));
        m_rozdzialy.append(r);
        dodajPostep(r.rozmiar);
    }
}

// Names every entry of another format than the first; the MP3 with chapters,
// one stream that players keep in the first file's format, is refused.
void EksportKsiazki::sprawdzFormaty() {
    QList<std::optional<FormatDzwieku>> formaty;
    for (const FormatDzwieku& f : std::as_const(m_formaty))
        formaty.append(f);
    const QList<InnyFormat> inne = inneFormaty(formaty);
    if (inne.isEmpty())
        return;
    QStringList linie;
    for (const InnyFormat& inny : inne)
        linie << QStringLiteral("plik %1 (pozycja %2): %3")
                     .arg(natywna(m_pozycje.at(inny.pozycja).sciezka()))
                     .arg(inny.pozycja + 1)
                     .arg(inny.roznice);
    const QString naglowek = QStringLiteral("pliki w innym formacie dźwięku niż pierwszy plik (%1)")
                                 .arg(opisFormatu(*pierwszyFormat(formaty)));
    if (!plikRozdzialow.isEmpty())
        throw SonvekError(
            QStringLiteral("Nie można zapisać pliku MP3 z rozdziałami: %1, a w jednym "
                           "pliku odtwarzacze grałyby je za szybko albo za wolno: %2. "
                           "Przekoduj te pliki albo wyeksportuj tylko książkę DAISY")
                .arg(naglowek, linie.join(QStringLiteral("; "))));
    uwaga(QStringLiteral("Uwaga: %1: %2").arg(naglowek).arg(inne.size()));
    for (const QString& linia : std::as_const(linie))
        uwaga(QStringLiteral("Uwaga: ") + linia);
}

// Copies entry i's audio frames (RozdzialKsiazki::dzwiek) to `zapisz`: the
// file is read whole by the merge's pass, which moves the frames' gains by
// the entry's levelling step, and only the bytes of its audio go on.
void EksportKsiazki::kopiujDzwiek(int i, const std::function<void(const char*, qint64)>& zapisz) {
    const RozdzialKsiazki& r = m_rozdzialy.at(i);
    const QString nazwa = natywna(r.plik);
    int we = -1;
    std::int64_t rozmiar = 0;
    if (const QString powod = otworzZwyklyDeskryptor(r.plik, we, rozmiar); !powod.isEmpty())
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2").arg(nazwa, powod));
    auto zmieniony = [&] {
        struct stat st {};
        return ::fstat(we, &st) != 0 || st.st_size != r.rozmiar ||
               qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec != r.czasZmiany;
    };
    const int kroki = m_wyrownanie ? m_wyrownanie->kroki(i) : 0;
    try {
        if (zmieniony())
            throw EInOutError(QStringLiteral("Plik %1 zmienił się podczas eksportu").arg(nazwa));
        if (kroki != 0 && !m_wyrownanie->zmierzony(i, StanPliku::deskryptora(we, true)))
            throw EInOutError(QStringLiteral("Plik %1 zmienił się od pomiaru głośności; "
                                             "wyeksportuj książkę ponownie, a plik zostanie "
                                             "zmierzony jeszcze raz")
                                  .arg(nazwa));
        // The pass hands on every byte of the file in order; `poz` is where
        // the block it gives starts, `zakres` the first audio range not
        // yet passed.
        std::int64_t poz = 0;
        qsizetype zakres = 0;
        std::int64_t wyslane = 0;
        auto odbierz = [&](const unsigned char* dane, std::int64_t n) {
            const std::int64_t koniec = poz + n;
            while (zakres < r.dzwiek.size() && r.dzwiek.at(zakres).first < koniec) {
                const auto [od, doBajtu] = r.dzwiek.at(zakres);
                const std::int64_t a = std::max(od, poz), b = std::min(doBajtu, koniec);
                if (a < b) {
                    zapisz(reinterpret_cast<const char*>(dane + (a - poz)), b - a);
                    wyslane += b - a;
                    dodajPostep(b - a);
                }
                if (doBajtu > koniec)
                    break;
                ++zakres;
            }
            poz = koniec;
        };
        PrzejscieWpisu wpis;
        try {
            wpis = przejdzWpis(r.plik, we, rozmiar, miernikMp3(), kroki, odbierz);
        } catch (const EPrzerwanyEksport&) {
            throw;
        } catch (const EMCIDeviceError& e) {
            throw EInOutError(
                QStringLiteral("Nie można odczytać pliku %1: %2").arg(nazwa, e.text()));
        }
        if (zmieniony() || wyslane != r.bajtyDzwieku)
            throw EInOutError(QStringLiteral("Plik %1 zmienił się podczas eksportu").arg(nazwa));
        if (m_wyrownanie && m_przyciete.size() == i)
            m_przyciete.append(wpis.przyciete);
    } catch (...) {
        ::close(we);
        throw;
    }
    ::close(we);
}

// Measures the loudness of the entries not measured yet, counted in the
// progress as the merge counts it.
void EksportKsiazki::zmierzGlosnosc() {
    m_wyrownanie.reset();
    m_przyciete.clear();
    m_wyrownanieOpisane = false;
    if (!celGlosnosci)
        return;
    QStringList sciezki;
    for (const RozdzialKsiazki& r : std::as_const(m_rozdzialy))
        sciezki.append(r.plik);
    m_wyrownanie.emplace(*celGlosnosci, sciezki, pamiecGlosnosci);
    m_wszystkie += m_wyrownanie->wagaPomiaru();
    if (m_wyrownanie->doZmierzenia() > 0)
        loguj(QStringLiteral("Trwa pomiar głośności plików (do zmierzenia: %1 z %2)")
                  .arg(m_wyrownanie->doZmierzenia())
                  .arg(sciezki.size()));
    sprawdzPrzerwanie();
    if (!m_wyrownanie->zmierz(miernikGlosnosci, przerwanie,
                              [this](std::int64_t waga) { dodajPostep(waga); }))
        throw EPrzerwanyEksport(QStringLiteral("Eksport przerwany"));
}

// Once every entry is levelled: each file's step and the summary, in the
// log as a levelled merge gives them.
void EksportKsiazki::podsumujWyrownanie() {
    if (!m_wyrownanie || m_wyrownanieOpisane || m_przyciete.size() != m_rozdzialy.size())
        return;
    m_wyrownanieOpisane = true;
    for (int i = 0; i < m_przyciete.size(); ++i)
        for (const QString& linia : m_wyrownanie->dodaj(i, m_przyciete.at(i)))
            loguj(linia);
    loguj(m_wyrownanie->tekst());
}

// One form written whole from the chapters, each chapter's audio read as
// the merge reads it.
void EksportKsiazki::zapiszPostac(PostacKsiazki&& postac, const OpisKsiazki& opis) {
    postac.zapisz(opis, m_rozdzialy,
                  [this](int i, const std::function<void(const char*, qint64)>& zapisz) {
                      kopiujDzwiek(i, zapisz);
                  });
    podsumujWyrownanie();
}

void EksportKsiazki::wykonaj() {
    m_uwagi.clear();
    const OpisKsiazki opis = sprawdzonyOpis(m_opis);
    if (m_pozycje.isEmpty())
        throw SonvekError(QStringLiteral("Projekt nie ma żadnej pozycji do eksportu"));
    // What a killed export of this book left is finished first (or undone).
    bool odzyskany = false;
    if (!folderDaisy.isEmpty() && !QFileInfo(folderDaisy).isSymLink() &&
        QFileInfo(folderDaisy).absoluteDir().exists()) {
        odzyskany = UmieszczenieKsiazki::dokonczPozostawione(folderDaisy);
        if (odzyskany)
            loguj(QStringLiteral("Dokończono przerwany wcześniej eksport do folderu %1")
                      .arg(natywna(folderDaisy)));
    }
    sprawdzCele(zastap || odzyskany);
    Okladka okladka = opis.okladka.isEmpty() ? Okladka{} : wczytajOkladke(opis.okladka);

    std::int64_t bajty = 0;
    for (const PozycjaProjektu& p : std::as_const(m_pozycje))
        bajty += zbadajPlik(p.sciezka()).rozmiar;
    const int postaci = int(!folderDaisy.isEmpty()) + int(!plikRozdzialow.isEmpty());
    m_zrobione = 0;
    m_wszystkie = bajty * (1 + postaci);
    if (postep)
        postep(0, m_wszystkie);
    zmierz();
    sprawdzFormaty();
    std::int64_t dzwiek = 0;
    for (const RozdzialKsiazki& r : std::as_const(m_rozdzialy))
        dzwiek += r.bajtyDzwieku;
    m_wszystkie = m_zrobione + dzwiek * postaci;
    zmierzGlosnosc();

    auto krok = [this](const char* nazwa) {
        if (poKroku)
            poKroku(nazwa);
    };
    std::optional<UmieszczenieKsiazki> daisy;
    if (!folderDaisy.isEmpty())
        daisy.emplace(folderDaisy);
    std::unique_ptr<ZapisAtomowy> mp3;
    if (!plikRozdzialow.isEmpty()) {
        loguj(QStringLiteral("Tworzenie pliku MP3 z rozdziałami %1").arg(natywna(plikRozdzialow)));
        // The cover of the entries' tags when none is given.
        for (int i = 0; i < m_rozdzialy.size() && okladka.dane.isEmpty(); ++i)
            okladka = okladkaZTagu(m_rozdzialy.at(i).plik, kMaksRozmiarOkladki);
        mp3 = std::make_unique<ZapisAtomowy>(plikRozdzialow);
        if (daisy)
            daisy->dodajMp3(mp3->tymczasowy(), plikRozdzialow);
        Mp3ZRozdzialami::Ustawienia u;
        u.okladka = okladka;
        u.nowyNaglowek = m_nowyNaglowek;
        u.wyrownany = m_wyrownanie && m_wyrownanie->zmieniaRamki();
        u.loguj = [this](const QString& linia) { loguj(linia); };
        u.sprawdzPrzerwanie = [this] { sprawdzPrzerwanie(); };
        zapiszPostac(Mp3ZRozdzialami(*mp3, plikRozdzialow, std::move(u)), opis);
    }
    if (daisy) {
        loguj(QStringLiteral("Tworzenie książki DAISY w folderze %1").arg(natywna(folderDaisy)));
        zapiszPostac(KsiazkaDaisy(daisy->folderTymczasowy(), folderDaisy, data), opis);
    }
    sprawdzPrzerwanie();

    // Both whole on the disk: from here on the export is finished, a kill
    // included (the next export of the book finishes it).
    if (daisy) {
        daisy->zatwierdz();
        krok("plan");
        daisy->umiesc();
        krok("daisy");
    }
    if (mp3) {
        const std::optional<TozsamoscPliku> nowy = tozsamoscPliku(mp3->tymczasowy());
        try {
            mp3->zatwierdz();
        } catch (const EInOutError& e) {
            // Only the sync of its folder failed: the new MP3 is in place.
            if (!daisy || !nowy || tozsamoscPliku(plikRozdzialow) != nowy)
                throw; // the book goes back (see UmieszczenieKsiazki)
            uwaga(e.text());
        }
        krok("mp3");
    }
    if (daisy)
        daisy->zakoncz();
    loguj(QStringLiteral("Eksport zakończony powodzeniem"));
}
