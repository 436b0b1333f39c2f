#include "import/ImportKsiazki.h"

#include "audio/Mp3Stream.h"
#include "base/BledySystemu.h"
#include "base/FolderTymczasowy.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/Transakcja.h"
#include "import/ArkuszCue.h"
#include "import/CiecieMp3.h"
#include "import/Daisy.h"
#include "import/Dzwiek.h"
#include "import/TekstZrodla.h"
#include "project/Otwieranie.h"
#include "project/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <id3v2tag.h>
#include <textidentificationframe.h>

QStringList rozszerzeniaDzwieku() {
    return {QStringLiteral("mp3"), QStringLiteral("wav"), QStringLiteral("flac"),
            QStringLiteral("ogg"), QStringLiteral("oga"), QStringLiteral("opus"),
            QStringLiteral("m4a"), QStringLiteral("m4b"), QStringLiteral("aac"),
            QStringLiteral("mka"), QStringLiteral("wma"), QStringLiteral("aiff"),
            QStringLiteral("aif")};
}

namespace {

QString przerwanyTekst() {
    return QStringLiteral("Import przerwany");
}

// ---- reading -------------------------------------------------------------------------------

// The chapters of one audio file: those it carries, else the file itself.
void dodajPlik(ZnalezioneRozdzialy& z, const QString& sciezka) {
    const PlikDzwieku p = zbadajPlikDzwieku(sciezka);
    z.pliki.insert(sciezka, p);
    if (p.rozdzialy.size() > kMaksRozdzialow)
        throw EBladZrodla(QStringLiteral("Plik %1 ma za dużo rozdziałów (%2)")
                              .arg(natywnaSciezka(sciezka))
                              .arg(p.rozdzialy.size()));
    if (p.rozdzialy.isEmpty()) {
        RozdzialZrodla r;
        r.tytul = p.tytul;
        if (r.tytul.isEmpty())
            r.tytul = QFileInfo(sciezka).completeBaseName();
        r.dzwiek = {{sciezka, 0, -1}};
        r.dlugoscUs = p.dlugoscUs;
        z.rozdzialy.append(r);
        return;
    }
    QList<PoczatekRozdzialu> poczatki;
    QList<int> wybrane;
    for (qsizetype i = 0; i < p.rozdzialy.size(); ++i) {
        const PoczatekRozdzialu s{0, p.rozdzialy.at(i).odUs};
        if (!poczatki.isEmpty() && !poPoprzednim(poczatki.last(), s))
            continue; // a chapter at the same place as the one before
        poczatki.append(s);
        wybrane.append(int(i));
    }
    const QList<QList<FragmentDzwieku>> odcinki = odcinkiMiedzy({sciezka}, poczatki);
    for (qsizetype j = 0; j < odcinki.size(); ++j) {
        RozdzialZrodla r;
        r.tytul = p.rozdzialy.at(wybrane.at(j)).tytul;
        if (r.tytul.isEmpty())
            r.tytul = QStringLiteral("Rozdział %1").arg(z.rozdzialy.size() + 1);
        r.dzwiek = odcinki.at(j);
        r.dlugoscUs = dlugoscFragmentow(r.dzwiek, z.pliki);
        z.rozdzialy.append(r);
    }
}

// The file in `folder` whose name in lower case is `nazwa`, or with that
// extension; empty when there is none or more than one.
QStringList wFolderze(const QString& folder, const std::function<bool(const QString&)>& pasuje) {
    QStringList wynik;
    for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Readable, QDir::Name))
        if (pasuje(n.toLower()))
            wynik << QDir(folder).filePath(n);
    return wynik;
}

ZnalezioneRozdzialy czytajZrodlo(const QString& zrodlo, const std::atomic_bool* stop) {
    const QFileInfo info(zrodlo);
    const QString nazwa = natywnaSciezka(zrodlo);
    if (!info.exists())
        throw EBladZrodla(QStringLiteral("Nie ma pliku ani folderu %1").arg(nazwa));
    const QString sciezka = info.absoluteFilePath();
    if (info.isDir()) {
        const QStringList ncc = wFolderze(
            sciezka, [](const QString& n) { return n == u"ncc.html" || n == u"ncc.htm"; });
        if (!ncc.isEmpty())
            return czytajDaisy2(ncc.first(), stop);
        const QStringList opf =
            wFolderze(sciezka, [](const QString& n) { return n.endsWith(u".opf"); });
        if (opf.size() == 1)
            return czytajDaisy3(opf.first(), stop);
        const QStringList cue =
            wFolderze(sciezka, [](const QString& n) { return n.endsWith(u".cue"); });
        if (cue.size() == 1)
            return czytajCue(cue.first(), stop);
        ZnalezioneRozdzialy z;
        z.rodzaj = QStringLiteral("Folder plików dźwiękowych");
        const QStringList pliki = plikiFolderu(sciezka, rozszerzeniaDzwieku(), stop);
        if (pliki.isEmpty())
            throw EBladZrodla(QStringLiteral("W folderze %1 nie ma książki DAISY, arkusza CUE ani "
                                             "plików dźwiękowych")
                                  .arg(nazwa));
        for (const QString& p : pliki) {
            if (stop && stop->load())
                throw EPrzerwanyImport(przerwanyTekst());
            dodajPlik(z, QDir::fromNativeSeparators(p));
        }
        z.tytul = z.pliki.first().album;
        z.autor = z.pliki.first().autor;
        return z;
    }
    const QString male = info.fileName().toLower();
    if (male == u"ncc.html" || male == u"ncc.htm")
        return czytajDaisy2(sciezka, stop);
    if (male.endsWith(u".opf"))
        return czytajDaisy3(sciezka, stop);
    if (male.endsWith(u".cue"))
        return czytajCue(sciezka, stop);
    ZnalezioneRozdzialy z;
    dodajPlik(z, sciezka);
    const PlikDzwieku& p = z.pliki.first();
    z.rodzaj = p.rozdzialy.isEmpty() ? QStringLiteral("Plik dźwiękowy")
                                     : QStringLiteral("Plik dźwiękowy z rozdziałami");
    z.tytul = !p.album.isEmpty() ? p.album : (p.rozdzialy.isEmpty() ? QString() : p.tytul);
    z.autor = p.autor;
    return z;
}

// ---- writing -------------------------------------------------------------------------------

EInOutError bladZapisu(const QString& sciezka, int numer) {
    return EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2")
                           .arg(natywnaSciezka(sciezka), opisBleduSystemu(numer)));
}

void zapiszWszystko(int fd, const char* dane, qint64 n, const QString& sciezka) {
    while (n > 0) {
        const ssize_t k = ::write(fd, dane, size_t(std::min<qint64>(n, 1 << 30)));
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            throw bladZapisu(sciezka, k < 0 ? errno : ENOSPC);
        dane += k;
        n -= k;
    }
}

// The name of chapter i's file among n: its number, then its title where a
// file name can carry it.
QString nazwaPlikuRozdzialu(int i, int n, const QString& tytul) {
    const int cyfry = std::max<int>(3, int(QString::number(n).size()));
    QString t;
    for (const QChar c : tytul)
        t += (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c)) ? QChar(u' ') : c;
    t = t.simplified();
    while (t.startsWith(u'.'))
        t.remove(0, 1);
    if (t.size() > 80) {
        t.truncate(t.at(79).isHighSurrogate() ? 79 : 80);
        t = t.trimmed();
    }
    QString nazwa = QStringLiteral("%1").arg(i + 1, cyfry, 10, QLatin1Char('0'));
    if (!t.isEmpty())
        nazwa += u' ' + t;
    return nazwa + QStringLiteral(".mp3");
}

TagLib::String tekstTagu(const QString& t) {
    return TagLib::String(bezZnakowSpozaXml(t).toStdString(), TagLib::String::UTF8);
}

// The ID3v2 tag in front of a chapter's file, made by TagLib.
QByteArray tagRozdzialu(const QString& tytul, const ZnalezioneRozdzialy& z, int i, int n) {
    TagLib::ID3v2::Tag tag;
    auto dodaj = [&tag](const char* id, const QString& tekst) {
        if (tekst.isEmpty())
            return;
        auto* ramka = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
        ramka->setText(tekstTagu(tekst));
        tag.addFrame(ramka);
    };
    dodaj("TIT2", tytul);
    dodaj("TALB", z.tytul);
    dodaj("TPE1", z.autor);
    dodaj("TRCK", QStringLiteral("%1/%2").arg(i + 1).arg(n));
    const TagLib::ByteVector dane = tag.render();
    return QByteArray(dane.data(), qsizetype(dane.size()));
}

std::int64_t tikiNaUs(std::int64_t tiki) {
    return tiki * 1000 / (kTicksPerSecond / 1000);
}

} // namespace

// ---- the work of one zapisz() ------------------------------------------------------------------

struct ImportKsiazki::Praca {
    const ZnalezioneRozdzialy& z;
    FormatKodowania format;
    QString folder; // the hidden folder being built
    std::atomic_bool stop{false};
    std::atomic<std::int64_t> zrobioneUs{0};
    std::int64_t wszystkieUs = 0;

    std::mutex zamek;
    std::condition_variable zmiana;
    QStringList linie;       // log lines for the calling thread
    std::exception_ptr blad; // the first failure

    // Cut points of every MP3 file a copied chapter uses, for the times asked.
    struct Ciecia {
        std::vector<std::int64_t> czasy; // ascending, -1 last
        CiecieMp3 c;
    };
    // Filled in before the threads start; a file's cuts are read once its
    // walk is done (zeskanowany).
    std::map<QString, Ciecia> ciecia;
    std::map<QString, bool> zeskanowany; // under zamek
    std::condition_variable skanGotowy;

    struct Wynik {
        QString nazwa;
        std::int64_t dlugoscUs = 0;
        std::int64_t opoznienieUs = 0; // where the chapter's own audio begins in its file
    };
    std::vector<Wynik> wyniki;

    explicit Praca(const ZnalezioneRozdzialy& z) : z(z) {}

    void loguj(const QString& linia) {
        std::lock_guard l(zamek);
        linie << linia;
    }

    bool kopiowany(const RozdzialZrodla& r) const {
        return std::all_of(r.dzwiek.begin(), r.dzwiek.end(),
                           [&](const FragmentDzwieku& f) { return z.pliki.value(f.plik).mp3; });
    }

    void sprawdzStop() const {
        if (stop.load(std::memory_order_relaxed))
            throw EPrzerwanyImport(przerwanyTekst());
    }

    void zbadajMp3(const QString& plik) {
        Ciecia& c = ciecia.at(plik);
        c.c = zbadajCieciaMp3(plik, c.czasy, stop,
                              [&](std::int64_t tiki) { zrobioneUs += tikiNaUs(tiki); });
        sprawdzStop();
        std::lock_guard l(zamek);
        zeskanowany[plik] = true;
        skanGotowy.notify_all();
    }

    // Waits until the frames of every MP3 file of a copied chapter are
    // walked (by this or another thread), or the import stops.
    void czekajNaSkan(const RozdzialZrodla& r) {
        std::unique_lock l(zamek);
        for (const FragmentDzwieku& f : r.dzwiek) {
            while (!zeskanowany[f.plik]) {
                sprawdzStop();
                skanGotowy.wait_for(l, std::chrono::milliseconds(100));
            }
        }
    }

    const CiecieMp3::Punkt& punkt(const QString& plik, std::int64_t us) const {
        const Ciecia& c = ciecia.at(plik);
        const auto it = us < 0 ? c.czasy.end() - 1
                               : std::lower_bound(c.czasy.begin(),
                                                  c.czasy.end() - (c.czasy.back() < 0 ? 1 : 0), us);
        return c.c.punkty[std::size_t(it - c.czasy.begin())];
    }

    // Writes chapter i into its file; returns its length.
    void zapiszRozdzial(int i) {
        const RozdzialZrodla& r = z.rozdzialy.at(i);
        const int n = int(z.rozdzialy.size());
        Wynik& w = wyniki[std::size_t(i)];
        w.nazwa = nazwaPlikuRozdzialu(i, n, r.tytul);
        const QString sciezka = folder + u'/' + w.nazwa;
        const int fd = ::open(QFile::encodeName(sciezka).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            throw bladZapisu(sciezka, errno);
        try {
            const QByteArray tag = tagRozdzialu(r.tytul, z, i, n);
            zapiszWszystko(fd, tag.constData(), tag.size(), sciezka);
            if (kopiowany(r)) {
                czekajNaSkan(r);
                kopiuj(r, fd, sciezka, w);
            } else
                koduj(r, fd, sciezka, qint64(tag.size()), w);
        } catch (...) {
            ::close(fd);
            throw;
        }
#ifdef Q_OS_LINUX
        // The disk starts writing the chapter now, while the next ones are
        // cut, so that the final sync waits for less; its errors are the
        // sync's to report.
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
        if (::close(fd) != 0)
            throw bladZapisu(sciezka, errno);
    }

    // The chapter's MP3 frames, byte for byte.
    void kopiuj(const RozdzialZrodla& r, int fd, const QString& sciezka, Wynik& w) {
        std::int64_t tiki = 0;
        std::int64_t bajty = 0, wszystkieBajty = 0, dodane = 0;
        struct Zakres {
            QString plik;
            std::int64_t od, do_;
        };
        QList<Zakres> zakresy;
        for (const FragmentDzwieku& f : r.dzwiek) {
            const CiecieMp3::Punkt& od = punkt(f.plik, f.odUs);
            const CiecieMp3::Punkt& doP = punkt(f.plik, f.doUs);
            tiki += std::max<std::int64_t>(0, doP.tiki - od.tiki);
            for (const auto& [a, b] : ciecia.at(f.plik).c.zakresy(od, doP)) {
                zakresy.append({f.plik, a, b});
                wszystkieBajty += b - a;
            }
        }
        w.dlugoscUs = tikiNaUs(tiki);
        for (const Zakres& z : std::as_const(zakresy)) {
            const int we = ::open(QFile::encodeName(z.plik).constData(), O_RDONLY | O_CLOEXEC);
            if (we < 0)
                throw EBladZrodla(QStringLiteral("Nie można otworzyć pliku %1: %2")
                                      .arg(natywnaSciezka(z.plik), opisBleduSystemu(errno)));
            try {
                kopiujZakres(we, fd, z.od, z.do_ - z.od, sciezka, z.plik, [&](std::int64_t k) {
                    bajty += k;
                    const std::int64_t teraz =
                        r.dlugoscUs * bajty / std::max<std::int64_t>(1, wszystkieBajty);
                    zrobioneUs += teraz - dodane;
                    dodane = teraz;
                });
            } catch (...) {
                ::close(we);
                throw;
            }
            ::close(we);
        }
    }

    void kopiujZakres(int we, int wy, std::int64_t od, std::int64_t ile, const QString& cel,
                      const QString& zrodlo, const std::function<void(std::int64_t)>& postep) {
        constexpr std::int64_t kPorcja = std::int64_t{4} << 20;
        off_t pozycja = off_t(od);
        bool jadro = true;
        QByteArray bufor;
        while (ile > 0) {
            sprawdzStop();
            ssize_t k = -1;
            const size_t porcja = size_t(std::min(ile, kPorcja));
#ifdef Q_OS_LINUX
            if (jadro) {
                k = kopiujWJadrze(we, &pozycja, wy, porcja);
                if (k < 0 && kopiowanieWJadrzeNiemozliwe(errno)) {
                    jadro = false;
                    continue;
                }
            } else
#endif
            {
                if (bufor.isEmpty())
                    bufor.resize(qsizetype(kPorcja));
                k = ::pread(we, bufor.data(), porcja, pozycja);
                if (k > 0) {
                    zapiszWszystko(wy, bufor.constData(), k, cel);
                    pozycja += k;
                }
            }
            if (k < 0 && errno == EINTR)
                continue;
            if (k < 0)
                throw bladZapisu(cel, errno);
            if (k == 0)
                throw EBladZrodla(QStringLiteral("Plik %1 zmienił się podczas importu")
                                      .arg(natywnaSciezka(zrodlo)));
            ile -= k;
            postep(k);
        }
        Q_UNUSED(jadro);
    }

    // The chapter decoded and encoded by LAME.
    void koduj(const RozdzialZrodla& r, int fd, const QString& sciezka, qint64 miejsceInfo,
               Wynik& w) {
        KoderMp3 koder(format);
        QByteArray bufor;
        std::int64_t probki = 0;
        auto wypisz = [&](bool wszystko) {
            if (bufor.size() >= (256 << 10) || (wszystko && !bufor.isEmpty())) {
                zapiszWszystko(fd, bufor.constData(), bufor.size(), sciezka);
                bufor.clear();
            }
        };
        for (const FragmentDzwieku& f : r.dzwiek) {
            sprawdzStop();
            const PlikDzwieku& p = z.pliki.value(f.plik);
            const std::int64_t oczekiwane =
                p.dlugoscUs > 0
                    ? (f.doUs >= 0 ? std::min(f.doUs, p.dlugoscUs) : p.dlugoscUs) - f.odUs
                    : -1;
            DekoderDzwieku dekoder(f.plik, format.czestotliwosc, format.kanaly);
            dekoder.dekoduj(
                f.odUs, f.doUs, oczekiwane,
                [&](const std::int16_t* dane, int ramki) {
                    bufor += koder.koduj(dane, ramki);
                    probki += ramki;
                    zrobioneUs += std::int64_t(ramki) * 1000000 / format.czestotliwosc;
                    wypisz(false);
                },
                stop);
        }
        sprawdzStop();
        bufor += koder.zakoncz();
        wypisz(true);
        const QByteArray info = koder.naglowekInfo();
        if (!info.isEmpty() && ::pwrite(fd, info.constData(), size_t(info.size()), miejsceInfo) !=
                                   ssize_t(info.size()))
            throw bladZapisu(sciezka, errno);
        w.dlugoscUs = probki * 1000000 / format.czestotliwosc;
        w.opoznienieUs = std::int64_t(koder.opoznienie()) * 1000000 / format.czestotliwosc;
    }

    // Runs zadanie(0 .. n-1) on `watki` threads while the calling thread
    // passes on the log, the progress and a stop. The first failure stops
    // the rest and is thrown here.
    void rownolegle(int n, int watki, const std::function<void(int)>& zadanie,
                    ImportKsiazki& import) {
        std::atomic<int> nastepne{0};
        std::atomic<int> dzialajace{0};
        auto pracuj = [&] {
            for (;;) {
                const int i = nastepne++;
                if (i >= n || stop.load())
                    break;
                try {
                    zadanie(i);
                } catch (...) {
                    std::lock_guard l(zamek);
                    if (!blad)
                        blad = std::current_exception();
                    stop = true;
                    skanGotowy.notify_all();
                }
            }
            std::lock_guard l(zamek);
            --dzialajace;
            zmiana.notify_all();
        };
        const int ile = std::max(1, std::min(watki, n));
        std::vector<std::thread> watkiPracy;
        dzialajace = ile;
        for (int t = 0; t < ile; ++t)
            watkiPracy.emplace_back(pracuj);
        for (;;) {
            QStringList doWypisania;
            bool koniec;
            {
                std::unique_lock l(zamek);
                zmiana.wait_for(l, std::chrono::milliseconds(200));
                doWypisania.swap(linie);
                koniec = dzialajace == 0;
            }
            for (const QString& linia : std::as_const(doWypisania))
                import.loguj(linia);
            if (import.postep)
                import.postep(std::min(zrobioneUs.load(), wszystkieUs) / 1000, wszystkieUs / 1000);
            if (!stop && import.przerwac && import.przerwac())
                stop = true;
            if (koniec)
                break;
        }
        for (std::thread& t : watkiPracy)
            t.join();
        if (blad)
            std::rethrow_exception(blad);
        sprawdzStop();
    }
};

ImportKsiazki::ImportKsiazki(QStringList zrodla) : m_zrodla(std::move(zrodla)) {}

ImportKsiazki::~ImportKsiazki() = default;

void ImportKsiazki::loguj(const QString& linia) const {
    if (dziennik)
        dziennik(linia);
}

const ZnalezioneRozdzialy& ImportKsiazki::czytaj() {
    if (m_zrodla.isEmpty())
        throw EBladZrodla(QStringLiteral("Nie podano, co zaimportować"));
    ZnalezioneRozdzialy wynik;
    for (const QString& zrodlo : std::as_const(m_zrodla)) {
        if (przerwac && przerwac())
            throw EPrzerwanyImport(przerwanyTekst());
        loguj(QStringLiteral("Czytanie: %1").arg(natywnaSciezka(zrodlo)));
        ZnalezioneRozdzialy z = czytajZrodlo(zrodlo, przerwanie);
        if (m_zrodla.size() == 1) {
            wynik = std::move(z);
            break;
        }
        if (wynik.rozdzialy.isEmpty()) {
            wynik.tytul = z.tytul;
            wynik.autor = z.autor;
        }
        wynik.rozdzialy += z.rozdzialy;
        wynik.pliki.insert(z.pliki);
        wynik.uwagi += z.uwagi;
        if (wynik.rozdzialy.size() > kMaksRozdzialow)
            throw EBladZrodla(
                QStringLiteral("Źródła mają razem ponad %1 rozdziałów").arg(kMaksRozdzialow));
    }
    if (m_zrodla.size() > 1)
        wynik.rodzaj = QStringLiteral("Źródła (%1)").arg(m_zrodla.size());
    if (wynik.rozdzialy.isEmpty())
        throw EBladZrodla(QStringLiteral("W źródłach nie ma żadnego rozdziału"));
    m_znalezione = std::move(wynik);
    m_przeczytane = true;
    return m_znalezione;
}

FormatKodowania wybranyFormat(const ZnalezioneRozdzialy& z, const FormatKodowania& kodowanie) {
    FormatKodowania f = kodowanie;
    const PlikDzwieku* mp3 = nullptr;
    for (const PlikDzwieku& p : z.pliki)
        if (p.mp3 && !mp3)
            mp3 = &p;
    if (f.czestotliwosc <= 0)
        f.czestotliwosc = mp3 ? mp3->czestotliwosc : 44100;
    if (f.kanaly <= 0)
        f.kanaly = mp3 ? std::min(mp3->kanaly, 2) : 1;
    return f;
}

QString opisKodowania(const ZnalezioneRozdzialy& z, const FormatKodowania& kodowanie) {
    const bool mp3 =
        std::any_of(z.pliki.cbegin(), z.pliki.cend(), [](const PlikDzwieku& p) { return p.mp3; });
    const bool inne =
        std::any_of(z.pliki.cbegin(), z.pliki.cend(), [](const PlikDzwieku& p) { return !p.mp3; });
    if (mp3 && !inne)
        return QStringLiteral("Całe źródło jest w MP3: rozdziały zostaną tylko wycięte, bez "
                              "ponownego kodowania, więc przepływność i kanały nie mają "
                              "znaczenia.");
    const FormatKodowania f = wybranyFormat(z, kodowanie);
    const QString format =
        QStringLiteral("%1 kb/s %2, %3 kHz")
            .arg(f.kbps)
            .arg(f.kanaly == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"))
            .arg(QString::number(f.czestotliwosc / 1000.0).replace(u'.', u','));
    return QStringLiteral("Pliki w innych formatach niż MP3 są kodowane do MP3; domyślnie ") +
           format +
           (mp3 ? QStringLiteral(" — tak jak pliki MP3 źródła, żeby cała książka miała jeden "
                                 "format.")
                : QStringLiteral(" — dobre dla mowy."));
}

FormatKodowania ImportKsiazki::format() const {
    return wybranyFormat(m_znalezione, kodowanie);
}

QString ImportKsiazki::plikDla(const QString& plikProjektu) {
    QString p = QFileInfo(plikProjektu).absoluteFilePath();
    if (!p.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive))
        p += QStringLiteral(".xml");
    return p;
}

QString ImportKsiazki::folderDla(const QString& plikProjektu) {
    return plikDla(plikProjektu).chopped(4);
}

void ImportKsiazki::zapisz(const QString& plikProjektu) {
    if (!m_przeczytane)
        czytaj();
    const QString projekt = plikDla(plikProjektu);
    const QString folder = folderDla(plikProjektu);
    m_pozycje.clear();
    auto istnieje = [](const QString& s) {
        struct stat st {};
        return ::lstat(QFile::encodeName(s).constData(), &st) == 0;
    };
    if (istnieje(projekt))
        throw EIstniejacyCel(QStringLiteral("Plik %1 już istnieje; import nie zapisuje niczego "
                                            "na istniejącym pliku. Wybierz inną nazwę projektu")
                                 .arg(natywnaSciezka(projekt)));
    if (istnieje(folder))
        throw EIstniejacyCel(QStringLiteral("Folder %1 już istnieje; import tworzy nowy folder na "
                                            "pliki rozdziałów. Wybierz inną nazwę projektu")
                                 .arg(natywnaSciezka(folder)));
    if (!QFileInfo(QFileInfo(projekt).absolutePath()).isDir())
        throw EInOutError(QStringLiteral("Folder %1 nie istnieje")
                              .arg(natywnaSciezka(QFileInfo(projekt).absolutePath())));
    const FormatKodowania fmt = format();
    const ZnalezioneRozdzialy& z = m_znalezione;
    Praca praca(z);
    praca.format = fmt;
    bool koduje = false;
    for (const RozdzialZrodla& r : z.rozdzialy) {
        praca.wszystkieUs += r.dlugoscUs;
        if (praca.kopiowany(r)) {
            for (const FragmentDzwieku& f : r.dzwiek) {
                auto& czasy = praca.ciecia[f.plik].czasy;
                czasy.push_back(f.odUs);
                czasy.push_back(f.doUs < 0 ? -1 : f.doUs);
            }
        } else {
            koduje = true;
        }
    }
    if (koduje) {
        if (const QString powod = KoderMp3::sprawdz(fmt); !powod.isEmpty())
            throw SonvekError(QStringLiteral("Nie można kodować dźwięku: ") + powod);
    }
    for (auto& [plik, ciecia] : praca.ciecia) {
        auto& c = ciecia.czasy;
        std::sort(c.begin(), c.end(), [](std::int64_t a, std::int64_t b) {
            return (a < 0 ? INT64_MAX : a) < (b < 0 ? INT64_MAX : b);
        });
        c.erase(std::unique(c.begin(), c.end()), c.end());
        praca.wszystkieUs += z.pliki.value(plik).dlugoscUs;
    }
    // One queue of work: the walks of the MP3 files' frames in the order
    // the chapters first use them, a copied chapter after the walk of the
    // file that follows its last one. While one thread cuts a file's
    // chapters, the other walks the next file, and the chapters reach the
    // disk (which the final sync waits for) from the start. Chapters to
    // encode need no walk and come first.
    struct Zadanie {
        int mp3 = -1; // the file to walk, or
        int rozdzial = -1;
    };
    std::vector<Zadanie> zadania;
    QStringList mp3;
    QHash<QString, int> numerMp3;
    std::vector<std::vector<int>> poSkanie; // chapters to write after walk i
    for (qsizetype i = 0; i < z.rozdzialy.size(); ++i) {
        const RozdzialZrodla& r = z.rozdzialy.at(i);
        int ostatni = -1;
        if (praca.kopiowany(r)) {
            for (const FragmentDzwieku& f : r.dzwiek) {
                auto it = numerMp3.find(f.plik);
                if (it == numerMp3.end()) {
                    it = numerMp3.insert(f.plik, int(mp3.size()));
                    mp3 << f.plik;
                    poSkanie.emplace_back();
                }
                ostatni = std::max(ostatni, *it);
            }
        }
        if (ostatni < 0)
            zadania.push_back({-1, int(i)});
        else
            poSkanie[std::size_t(ostatni)].push_back(int(i));
    }
    for (qsizetype j = 0; j <= mp3.size(); ++j) {
        if (j < mp3.size())
            zadania.push_back({int(j), -1});
        if (j > 0)
            for (int i : poSkanie[std::size_t(j - 1)])
                zadania.push_back({-1, i});
    }

    FolderTymczasowy budowa(folder);
    praca.folder = budowa.sciezka();
    praca.wyniki.resize(std::size_t(z.rozdzialy.size()));
    const int watkiPracy = watki > 0 ? watki : std::max(1, QThread::idealThreadCount());
    loguj(QStringLiteral("Tworzenie folderu %1").arg(natywnaSciezka(folder)));
    if (koduje)
        loguj(QStringLiteral("Kodowanie do MP3: %1 kb/s, %2 Hz, %3")
                  .arg(fmt.kbps)
                  .arg(fmt.czestotliwosc)
                  .arg(fmt.kanaly == 1 ? QStringLiteral("mono") : QStringLiteral("stereo")));
    if (!mp3.isEmpty())
        loguj(QStringLiteral("Szukanie ramek w plikach MP3 (%1)").arg(mp3.size()));
    loguj(QStringLiteral("Zapisywanie rozdziałów (%1)").arg(z.rozdzialy.size()));
    praca.rownolegle(
        int(zadania.size()), watkiPracy,
        [&](int k) {
            const Zadanie& t = zadania[std::size_t(k)];
            if (t.mp3 >= 0)
                praca.zbadajMp3(mp3.at(t.mp3));
            else
                praca.zapiszRozdzial(t.rozdzial);
        },
        *this);

    // The entries: bookmark over the announcement where it is known.
    const QString folderWpisow = folder + u'/';
    for (qsizetype i = 0; i < z.rozdzialy.size(); ++i) {
        const RozdzialZrodla& r = z.rozdzialy.at(i);
        const Praca::Wynik& w = praca.wyniki[std::size_t(i)];
        const std::int64_t dlugoscMs = w.dlugoscUs / 1000;
        std::int64_t od = 0, dl = std::min<std::int64_t>(dlugoscMs, domyslnaZakladka);
        if (r.zapowiedzDoUs > r.zapowiedzOdUs) {
            od = std::min(dlugoscMs, (r.zapowiedzOdUs + w.opoznienieUs + 500) / 1000);
            dl = std::min(dlugoscMs - od, (r.zapowiedzDoUs - r.zapowiedzOdUs + 500) / 1000);
        }
        PozycjaProjektu p{QString::number(i + 1), w.nazwa, QString::number(od),
                          QString::number(std::max<std::int64_t>(0, dl)), folderWpisow};
        if (z.maPoziomy())
            p.Poziom = QString::number(std::clamp(r.poziom, 1, 6));
        m_pozycje.append(p);
    }
    OpisKsiazki opis;
    opis.tytul = z.tytul;
    opis.autor = z.autor;
    const QString ukryty = praca.folder + QStringLiteral("/.projekt.xml");
    zapiszPlikProjektu(ukryty, m_pozycje, opis);
    // Everything on the disk before the folder is put in place.
    if (const int e = synchronizujFolder(praca.folder, true))
        throw bladZapisu(folder, e);
    if (przerwac && przerwac())
        throw EPrzerwanyImport(przerwanyTekst());
    try {
        budowa.umiesc();
    } catch (const EInOutError& e) {
        if (istnieje(folder))
            throw EIstniejacyCel(QStringLiteral("Folder %1 powstał w czasie importu; import nie "
                                                "zapisuje niczego na istniejącym folderze. Wybierz "
                                                "inną nazwę projektu")
                                     .arg(natywnaSciezka(folder)));
        throw;
    }
    if (const int e =
            przemianujBezZastepowania(folder + QStringLiteral("/.projekt.xml"), projekt)) {
        // The folder is this import's own: it goes again.
        QDir(folder).removeRecursively();
        if (e == EEXIST)
            throw EIstniejacyCel(QStringLiteral("Plik %1 powstał w czasie importu; import nie "
                                                "zapisuje niczego na istniejącym pliku. Wybierz "
                                                "inną nazwę projektu")
                                     .arg(natywnaSciezka(projekt)));
        throw bladZapisu(projekt, e);
    }
    synchronizujFolder(QFileInfo(projekt).absolutePath());
    m_plikProjektu = projekt;
    m_folder = folder;
    loguj(QStringLiteral("Import zakończony: %1 rozdziałów, projekt %2")
              .arg(m_pozycje.size())
              .arg(natywnaSciezka(projekt)));
}
