#pragma once
// The entry list's decisions beneath the window: files and folders added
// and inserted with what was left out, files dropped and named on the
// command line, a project read into the list, rows removed, bookmarks
// detected and snapped to pauses, loudness measured and reported, the
// book's summary. It asks through Rozmowa and shows long work through
// PracaListy; the window gives it the rows a command works on.

#include "audio/Glosnosc.h"
#include "audio/PrzegladZakladek.h"
#include "audio/WykrywanieTytulu.h"
#include "merge/PomiarMp3.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class HistoriaProjektu;
class ModelProjektu;
class PracaListy;
class Rozmowa;
class Sesja;
struct WskazanePliki;

// What the list's work uses of the world outside; empty: the real thing.
struct UslugiListy {
    WykrywanieTytulow wykrywanieTytulow; // wykryjTytul
    MiernikGlosnosci miernikGlosnosci;   // zmierzGlosnosc
    MiernikMp3 miernikScalania;          // miernikMp3()
};

class SesjaLista {
public:
    SesjaLista(Sesja& sesja, Rozmowa& rozmowa, PracaListy& praca, ModelProjektu& projekt,
               HistoriaProjektu& historia, UslugiListy uslugi);

    // The loudness measurements of this run, by file (safe across threads).
    PamiecGlosnosci& glosnosci() { return m_glosnosci; }

    // ---- adding (SesjaLista.cpp) --------------------------------------------------
    // "Dodaj...": the chosen MP3 files appended; "Wstaw...": inserted before
    // row `przed` (-1: appended).
    void dodajPliki() { wstawWybrane(QStringLiteral("Dodaj plik"), -1); }
    void wstawPliki(int przed) { wstawWybrane(QStringLiteral("Wstaw plik"), przed); }
    // The files measured and inserted from row `at`, in the order of their
    // names, as one step.
    void wstawPliki(const QStringList& pliki, int at);
    // "Dodaj folder...": the chosen folder's MP3 files appended as one step.
    void dodajFolder();
    void dodajFolder(const QString& folder);
    // Files dropped before row `cel`: MP3 files inserted there, a project
    // opened in place of the list (further ones and the files appended).
    void upuscPliki(const QStringList& paths, int cel);
    // What a command line named, each part as its command does it.
    void otworzRozpoznane(const WskazanePliki& wskazane);
    // A project file appended (zamiast: in place of the list, after the
    // unsaved-changes question), the focus on its first row.
    void wczytajProjekt(const QString& path, bool zamiast);
    void otworzProjekt(const QString& path);
    void otworzOstatni(int numer);
    // The row removed; the focus on the row that took its place.
    void usun(int wiersz);
    void przenumeruj();

    // ---- bookmarks and loudness (SesjaListaPraca.cpp) -------------------------------
    // The rows' bookmarks from the titles spoken at their files' beginnings.
    void wykryjZakladki(const QList<int>& wiersze);
    // The rows' bookmarks snapped onto the pauses around them; false when
    // the user stopped the work.
    bool dopasujDoPrzerw(const QList<int>& wiersze);
    // The rows' files measured where needed, and the "Głośność" report.
    void raportGlosnosci(const QList<int>& wiersze);
    // The review's entries: each row's file and bookmark with its file's
    // length; none when the user stopped the measuring of the files.
    std::optional<QList<std::pair<QString, ZakladkaPrzegladu>>>
    wpisyPrzegladu(const QList<int>& wiersze);
    // What the review accepted, as one step, its summary on the status line.
    void zapiszPrzeglad(const QList<int>& wiersze, const PrzegladZakladek& przeglad);
    // The book's summary; none when the user stopped the examination.
    // `rozmiar`, when given, gets the merged book's size added.
    std::optional<QStringList> podsumowanie(std::int64_t* rozmiar = nullptr);
    MiernikMp3 miernik() const;

private:
    void wstawWybrane(const QString& tytul, int przed);
    void wstawZmierzone(const QStringList& pliki,
                        const QList<std::optional<std::int64_t>>& dlugosci, int at,
                        const QStringList& pominiete = {});
    void wykryjNowe(int first, int end);

    Sesja& m_sesja;
    Rozmowa& m_rozmowa;
    PracaListy& m_praca;
    ModelProjektu& m_projekt;
    HistoriaProjektu& m_historia;
    const UslugiListy m_uslugi;
    PamiecGlosnosci m_glosnosci;
};
