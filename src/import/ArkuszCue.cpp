#include "import/ArkuszCue.h"

#include "import/Daisy.h"
#include "import/Dzwiek.h"
#include "import/TekstZrodla.h"

#include <QFileInfo>
#include <QHash>

#include <mutex>

extern "C" {
#include <libcue.h>
}

namespace {

// libcue's parser keeps its state in globals.
std::mutex g_cue;

struct Arkusz {
    Cd* cd = nullptr;
    ~Arkusz() {
        if (cd)
            cd_delete(cd);
    }
};

QString tekstCd(Cdtext* cdtext, Pti pole) {
    const char* t = cdtext ? cdtext_get(pole, cdtext) : nullptr;
    return t ? QString::fromUtf8(t).simplified() : QString();
}

} // namespace

ZnalezioneRozdzialy czytajCue(const QString& cue, const std::atomic_bool* stop) {
    const QString nazwa = natywnaSciezka(cue);
    const QByteArray utf8 = tekstBezDeklaracji(czytajPlikTekstowy(cue)).toUtf8();
    const FolderKsiazki folder(QFileInfo(cue).absolutePath());
    std::unique_lock blokada(g_cue);
    Arkusz a;
    a.cd = cue_parse_string(utf8.constData());
    if (!a.cd)
        throw EBladZrodla(QStringLiteral("Plik %1 nie jest poprawnym arkuszem CUE").arg(nazwa));
    const int n = cd_get_ntrack(a.cd);
    if (n <= 0)
        throw EBladZrodla(QStringLiteral("Arkusz CUE %1 nie ma żadnej ścieżki").arg(nazwa));
    if (n > kMaksRozdzialow)
        throw EBladZrodla(QStringLiteral("Arkusz CUE %1 ma za dużo ścieżek").arg(nazwa));
    ZnalezioneRozdzialy z;
    z.rodzaj = QStringLiteral("Arkusz CUE");
    z.tytul = tekstCd(cd_get_cdtext(a.cd), PTI_TITLE);
    z.autor = tekstCd(cd_get_cdtext(a.cd), PTI_PERFORMER);
    struct Sciezka {
        QString tytul, plik;
        std::int64_t us = 0;
    };
    QList<Sciezka> sciezki;
    QHash<QString, QString> pliki; // as named -> path
    for (int i = 1; i <= n; ++i) {
        Track* t = cd_get_track(a.cd, i);
        const char* f = t ? track_get_filename(t) : nullptr;
        if (!f)
            throw EBladZrodla(
                QStringLiteral("Ścieżka %1 arkusza CUE %2 nie ma pliku (FILE)").arg(i).arg(nazwa));
        const QString plik = QString::fromUtf8(f);
        auto p = pliki.find(plik);
        if (p == pliki.end()) {
            QString sciezka;
            try {
                sciezka = folder.plik(plik, cue, false);
            } catch (const EBladZrodla&) {
                // The same name with the extension of an audio file.
                const QString bezRozszerzenia = QFileInfo(plik).completeBaseName();
                const QString podfolder = QFileInfo(plik).path();
                for (const char* r : {"flac", "wav", "mp3", "ogg", "opus", "m4a", "wv", "ape"}) {
                    try {
                        sciezka = folder.plik(podfolder + u'/' + bezRozszerzenia + u'.' +
                                                  QLatin1StringView(r),
                                              cue, false);
                        break;
                    } catch (const EBladZrodla&) {
                    }
                }
                if (sciezka.isEmpty())
                    throw;
                z.uwagi << QStringLiteral("arkusz wskazuje plik „%1”, wzięto %2")
                               .arg(plik, natywnaSciezka(sciezka));
            }
            p = pliki.insert(plik, sciezka);
        }
        const long start = track_get_start(t);
        sciezki.append({tekstCd(track_get_cdtext(t), PTI_TITLE), *p,
                        std::int64_t(std::max(start, 0L)) * 1000000 / 75});
    }
    blokada.unlock();

    QStringList kolejnosc;
    QHash<QString, int> numer;
    for (const Sciezka& s : std::as_const(sciezki)) {
        if (!numer.contains(s.plik)) {
            numer.insert(s.plik, int(kolejnosc.size()));
            kolejnosc.append(s.plik);
            if (stop && stop->load())
                throw EPrzerwanyImport(QStringLiteral("Import przerwany"));
            z.pliki.insert(s.plik, zbadajPlikDzwieku(s.plik));
        }
    }
    QList<PoczatekRozdzialu> poczatki;
    QList<int> wybrane;
    for (qsizetype i = 0; i < sciezki.size(); ++i) {
        const PoczatekRozdzialu p{numer.value(sciezki.at(i).plik), sciezki.at(i).us};
        if (!poczatki.isEmpty() && !poPoprzednim(poczatki.last(), p)) {
            z.uwagi << QStringLiteral("ścieżka %1 nie zaczyna się po poprzedniej; jej dźwięk "
                                      "należy do poprzedniego rozdziału")
                           .arg(i + 1);
            continue;
        }
        poczatki.append(p);
        wybrane.append(int(i));
    }
    const QList<QList<FragmentDzwieku>> odcinki = odcinkiMiedzy(kolejnosc, poczatki);
    for (qsizetype j = 0; j < odcinki.size(); ++j) {
        RozdzialZrodla r;
        r.tytul = sciezki.at(wybrane.at(j)).tytul;
        if (r.tytul.isEmpty())
            r.tytul = QStringLiteral("Ścieżka %1").arg(wybrane.at(j) + 1);
        r.dzwiek = odcinki.at(j);
        r.dlugoscUs = dlugoscFragmentow(r.dzwiek, z.pliki);
        z.rozdzialy.append(r);
    }
    return z;
}
